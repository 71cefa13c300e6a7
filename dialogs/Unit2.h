#pragma once
#include <QDialog>

// The multi ping properties dialog.
class TForm2 : public QDialog {
    Q_OBJECT
public:
    explicit TForm2(QWidget *parent = nullptr);
};
