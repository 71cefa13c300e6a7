#include "FloatEdit.h"

#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLocale>
#include <optional>

namespace {

constexpr int NoLimit = 32767;
constexpr QChar Backspace(8);
constexpr QChar Tab(9);
constexpr QChar CarriageReturn(13);
constexpr QChar Escape(27);
constexpr QChar Delete(127);

QChar &separator()
{
    static QChar value = [] {
        const QString point = QLocale::system().decimalPoint();
        return point.isEmpty() ? QChar('.') : point.front();
    }();
    return value;
}

// The character a key delivers, or nothing for a bare key such as an arrow, Delete, Home or End.
std::optional<QChar> typedChar(const QKeyEvent &event)
{
    const bool control = event.modifiers() & Qt::ControlModifier;
    switch (event.key()) {
    case Qt::Key_Backspace: return control ? Delete : Backspace;
    case Qt::Key_Tab:
    case Qt::Key_Backtab: return Tab;
    case Qt::Key_Return:
    case Qt::Key_Enter: return CarriageReturn;
    case Qt::Key_Escape: return Escape;
    default: break;
    }
    if (event.key() >= Qt::Key_Escape)
        return std::nullopt;
    // Control with a character key (the clipboard and undo shortcuts among them) types a control
    // character.
    if (control)
        return QChar(event.key() & 0x1F);
    if (event.text().isEmpty())
        return std::nullopt;
    return event.text().front();
}

} // namespace

TFloatEdit::TFloatEdit(QWidget *parent) : QLineEdit(parent)
{
    connect(this, &QLineEdit::textChanged, this, [this] {
        if (OnChange)
            OnChange(this);
    });
}

void TFloatEdit::SetText(const QString &value)
{
    if (text() != value)
        setText(value);
}

int TFloatEdit::MaxLength() const
{
    return maxLength() == NoLimit ? 0 : maxLength();
}

void TFloatEdit::SetMaxLength(int value)
{
    setMaxLength(value <= 0 ? NoLimit : value);
}

QChar TFloatEdit::DecimalSeparator()
{
    return separator();
}

void TFloatEdit::setDecimalSeparator(QChar value)
{
    separator() = value;
}

QChar TFloatEdit::filterChar(QChar key, const QString &typedBefore) const
{
    if (key == Backspace || key == Tab || (key >= QChar('0') && key <= QChar('9')))
        return key;
    // The whole text counts, whatever is selected: a number has one separator at most.
    if (key == separator() && !text().contains(key) && !typedBefore.contains(key))
        return key;
    return QChar();
}

QChar TFloatEdit::keyPress(QChar key, const QString &typedBefore)
{
    QChar filtered = filterChar(key, typedBefore);
    if (OnKeyPress)
        OnKeyPress(this, filtered);
    return filtered;
}

void TFloatEdit::keyPressEvent(QKeyEvent *event)
{
    const std::optional<QChar> typed = typedChar(*event);
    const QString before = text();
    passKeyPress(event, typed);
    m_typingKey = typed && typed->isPrint() && text() != before ? event->key() : 0;
}

void TFloatEdit::passKeyPress(QKeyEvent *event, const std::optional<QChar> &typed)
{
    if (!typed) {
        QLineEdit::keyPressEvent(event);
        return;
    }
    const QChar key = keyPress(*typed);
    if (key.isNull()) {
        // Enter and Escape still belong to the window's default and cancel buttons.
        event->setAccepted(*typed != CarriageReturn && *typed != Escape);
        return;
    }
    if (key == *typed) {
        QLineEdit::keyPressEvent(event);
        return;
    }
    QKeyEvent replaced(QEvent::KeyPress, key == Backspace ? Qt::Key_Backspace : Qt::Key_unknown, Qt::NoModifier,
                       QString(key));
    QLineEdit::keyPressEvent(&replaced);
}

void TFloatEdit::keyReleaseEvent(QKeyEvent *event)
{
    m_releaseTyped = m_typingKey != 0 && event->key() == m_typingKey;
    if (m_releaseTyped)
        m_typingKey = 0;
    if (OnKeyUp) {
        int key = event->key();
        OnKeyUp(this, key, event->modifiers());
    }
    m_releaseTyped = false;
    QLineEdit::keyReleaseEvent(event);
}

// Composed characters arrive through the input method rather than as key presses; each is
// filtered as if typed after the ones before it.
void TFloatEdit::inputMethodEvent(QInputMethodEvent *event)
{
    QString kept;
    for (const QChar typed : event->commitString()) {
        const QChar key = keyPress(typed, kept);
        if (key.isPrint())
            kept += key;
    }
    if (kept == event->commitString()) {
        QLineEdit::inputMethodEvent(event);
        return;
    }
    QInputMethodEvent filtered(event->preeditString(), event->attributes());
    filtered.setCommitString(kept, event->replacementStart(), event->replacementLength());
    QLineEdit::inputMethodEvent(&filtered);
}
