#pragma once
#include <QDialog>

// The re-ping of the found machines dialog.
class TForm5 : public QDialog {
    Q_OBJECT
public:
    explicit TForm5(QWidget *parent = nullptr);
};
