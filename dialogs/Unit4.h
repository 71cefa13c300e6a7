#pragma once
#include <QDialog>

// The credits dialog.
class TForm4 : public QDialog {
    Q_OBJECT
public:
    explicit TForm4(QWidget *parent = nullptr);
};
