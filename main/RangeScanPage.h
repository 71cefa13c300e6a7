#pragma once
#include "StartFocus.h"
#include "flows/MultiPingScan.h"

#include <memory>
#include <optional>

class QLabel;
class TAHMMsgBox;
class TFloatEdit;
class TForm1;
class TTransparentButton;

// The range scan page of the main window: its controls, made as the window's members and laid out
// on TabSheet2, and the scan that runs over them.
class RangeScanPage : private MultiPingScan::View {
public:
    explicit RangeScanPage(TForm1 &form);
    ~RangeScanPage() override;

    MultiPingScan &scan() { return *m_scan; }

private:
    void createAddressFields();
    void createCaptions();
    void createButtons();
    void createMessages();
    void layOut();
    TFloatEdit *newOctetField(const char *name, const QString &text);
    QLabel *newCaption(const char *name, const QString &text, Qt::GlobalColor color);
    TAHMMsgBox *newMessage(const char *name, MultiPingScan::Message message);

    TFloatEdit *field(MultiPingScan::Edit edit) const;
    QLabel *label(MultiPingScan::Caption caption) const;
    TTransparentButton *button(MultiPingScan::Button button) const;

    QString editText(MultiPingScan::Edit edit) const override;
    void setEditText(MultiPingScan::Edit edit, const QString &text) override;
    void focusEdit(MultiPingScan::Edit edit) override;
    QString caption(MultiPingScan::Caption caption) const override;
    void setCaption(MultiPingScan::Caption caption, const QString &text) override;
    bool isEnabled(MultiPingScan::Button button) const override;
    void setEnabled(MultiPingScan::Button button, bool enabled) override;
    bool timerEnabled() const override;
    void setTimerEnabled(bool enabled) override;
    void clearLog() override;
    void appendLine(const QString &line) override;
    void setStatus(const QString &text) override;
    void recordMachine(const QString &ip, uint32_t rtt) override;
    int machineCount() const override;
    void showMessage(MultiPingScan::Message message) override;
    void reportError(const QString &text) override;

    TForm1 &m_form;
    std::optional<StartFocus> m_startFocus;
    std::unique_ptr<MultiPingScan> m_scan;
};
