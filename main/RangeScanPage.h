#pragma once
#include "ping/MultiPingScan.h"

#include <memory>

class QLabel;
class TAHMMsgBox;
class TFloatEdit;
class TForm1;
class TTransparentButton;

// The range scan page of the main window: its controls, made as the window's members and laid out
// on TabSheet2, and the scan that runs over them.
class RangeScanPage {
public:
    explicit RangeScanPage(TForm1 &form);
    ~RangeScanPage();

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

    MultiPingScan::View view();
    TFloatEdit *field(MultiPingScan::Edit edit) const;
    QLabel *caption(MultiPingScan::Caption caption) const;
    TTransparentButton *button(MultiPingScan::Button button) const;

    TForm1 &m_form;
    std::unique_ptr<MultiPingScan> m_scan;
};
