#include "MultiPingScan.h"

#include "echo/Notation.h"

namespace {
using Edit = MultiPingScan::Edit;
using Caption = MultiPingScan::Caption;

// The order in which a tick looks at the edits; each edit's caption has the same position below.
constexpr std::array<Edit, 8> Edits = {Edit::ip00, Edit::ip01, Edit::ip02, Edit::ip03,
                                       Edit::ip10, Edit::ip11, Edit::ip12, Edit::ip13};
constexpr std::array<Caption, 4> CurrentCaptions = {Caption::cip0, Caption::cip1, Caption::cip2, Caption::cip3};
constexpr std::array<Caption, 4> LimitCaptions = {Caption::cipf0, Caption::cipf1, Caption::cipf2, Caption::cipf3};
constexpr std::array<Edit, 4> EndEdits = {Edit::ip10, Edit::ip11, Edit::ip12, Edit::ip13};
} // namespace

const QStringList &MultiPingScan::linesOf(Message message)
{
    static const QStringList iperror = {"Error : Su Ip es erronea . Un number is superior to 255"};
    static const QStringList ipferror = {"El Ip de inicio es superior a de destino  .",
                                         "Si Ud quiere que esto funcione entonces",
                                         "El Ip de inicio debe ser menor que el de inicio OK?",
                                         "( the Ip of beginning should be minor that the of destination )"};
    return message == Message::iperror ? iperror : ipferror;
}

MultiPingScan::MultiPingScan(TPing &ping, View &view)
    : m_ping(ping), m_view(view), m_lines(ping, view, "Recividos %1 bytes desde %2 en %3 mSecs")
{
}

void MultiPingScan::MipPinGClick()
{
    m_view.setEnabled(Button::MipPinG, false);
    m_view.setEnabled(Button::mipHalt, true);
    for (size_t i = 0; i < 4; ++i)
        m_view.setCaption(CurrentCaptions[i], m_view.editText(Edits[i]));
    for (size_t i = 0; i < 4; ++i)
        m_view.setCaption(LimitCaptions[i], m_view.editText(Edits[4 + i]));
    m_view.setTimerEnabled(true);
}

// Every check comes before the ping, so that a wrong range sends nothing at all. The end is read
// again at every tick, so that a scan follows an end changed while it runs; the limit captions
// keep the end that the last tick went by.
void MultiPingScan::MipTimer1Timer()
{
    if (anyEditEmpty()) {
        m_view.setEnabled(Button::MipPinG, true);
        return;
    }
    const std::optional<Octets> current = readOctets(captionTexts(CurrentCaptions));
    if (!current)
        return;
    const std::optional<Octets> limit = readOctets(captionTexts(LimitCaptions));
    if (!limit)
        return;
    const Texts endTexts = editTexts(EndEdits);
    const std::optional<Octets> end = readOctets(endTexts);
    if (!end)
        return;
    const std::optional<uint32_t> from = addressOf(*current);
    const std::optional<uint32_t> last = addressOf(*limit);
    const std::optional<uint32_t> to = addressOf(*end);
    if (!from || !last || !to)
        return stopWith(Message::iperror);
    // A scan never passes the end its last tick went by: beyond it, the range was upside down
    // from the start.
    if (*from > *last)
        return stopWith(Message::ipferror);
    for (size_t i = 0; i < 4; ++i)
        m_view.setCaption(LimitCaptions[i], endTexts[i]);
    if (*from > *to)
        return MipStopClick();
    ping(*from);
    advance(*from, *to);
}

void MultiPingScan::mipHaltClick()
{
    if (m_view.isEnabled(Button::MipPinG))
        return;
    m_view.setTimerEnabled(!m_view.timerEnabled());
}

void MultiPingScan::MipStopClick()
{
    m_view.setTimerEnabled(false);
    m_view.setEnabled(Button::MipPinG, true);
    m_view.setStatus("Encontradas " + QString::number(m_view.machineCount()) + " Maquinas");
    m_view.setEnabled(Button::mipHalt, false);
}

// The end address follows the start as its first octets are typed; its last octet is typed apart.
void MultiPingScan::ip03KeyUp(bool typed)
{
    const QString text = m_view.editText(Edit::ip03);
    m_view.setEditText(Edit::ip13, text);
    if (typed && text.size() == 3)
        m_view.focusEdit(Edit::ip02);
}

void MultiPingScan::ip02KeyUp()
{
    m_view.setEditText(Edit::ip12, m_view.editText(Edit::ip02));
}

void MultiPingScan::ip01KeyUp()
{
    m_view.setEditText(Edit::ip11, m_view.editText(Edit::ip01));
}

bool MultiPingScan::anyEditEmpty() const
{
    for (Edit edit : Edits)
        if (m_view.editText(edit).isEmpty())
            return true;
    return false;
}

MultiPingScan::Texts MultiPingScan::captionTexts(const std::array<Caption, 4> &captions) const
{
    Texts texts;
    for (size_t i = 0; i < 4; ++i)
        texts[i] = m_view.caption(captions[i]);
    return texts;
}

MultiPingScan::Texts MultiPingScan::editTexts(const std::array<Edit, 4> &edits) const
{
    Texts texts;
    for (size_t i = 0; i < 4; ++i)
        texts[i] = m_view.editText(edits[i]);
    return texts;
}

// A text that is no whole number stops the scan, so that it is reported once and not at every tick.
std::optional<MultiPingScan::Octets> MultiPingScan::readOctets(const Texts &texts)
{
    Octets octets{};
    for (size_t i = 0; i < 4; ++i) {
        const std::string text = texts[i].toStdString();
        const std::optional<int> value = Notation::wholeNumber(text);
        if (!value) {
            MipStopClick();
            m_view.reportError(QString::fromStdString(Notation::notWholeNumber(text)));
            return std::nullopt;
        }
        octets[i] = *value;
    }
    return octets;
}

// None when an octet is out of 0..255.
std::optional<uint32_t> MultiPingScan::addressOf(const Octets &octets)
{
    uint32_t address = 0;
    for (int i = 3; i >= 0; --i) {
        if (octets[i] < 0 || octets[i] > 255)
            return std::nullopt;
        address = address << 8 | static_cast<uint32_t>(octets[i]);
    }
    return address;
}

// Written from the numbers, since a typed leading zero would make the resolver read the octet as octal.
void MultiPingScan::ping(uint32_t address)
{
    const std::string dotted = Notation::dotted(address);
    const QString text = QString::fromStdString(dotted);
    m_view.setCaption(Caption::lipo, text);
    m_view.clearLog();
    m_view.appendLine("Resolving host :" + text);
    m_ping.SetAddress(dotted);
    m_ping.SendPing();
}

// Ascending over the whole address, so that a range across several /24 networks is covered in full;
// an address ending in .0 is skipped unless the scan started there.
void MultiPingScan::advance(uint32_t current, uint32_t end)
{
    if (current == end)
        return MipStopClick();
    uint32_t next = current + 1;
    if ((next & 0xFF) == 0)
        ++next;
    if (next > end)
        return MipStopClick();
    writeCurrent(next);
}

void MultiPingScan::writeCurrent(uint32_t address)
{
    for (size_t i = 0; i < 4; ++i)
        m_view.setCaption(CurrentCaptions[i], QString::number((address >> (8 * i)) & 0xFF));
}

void MultiPingScan::stopWith(Message message)
{
    MipStopClick();
    m_view.showMessage(message);
}
