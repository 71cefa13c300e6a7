#pragma once
#include <QDialog>

class QLabel;

// The single ping properties and retry dialog.
class TForm3 : public QDialog {
    Q_OBJECT
public:
    explicit TForm3(QWidget *parent = nullptr);

    QLabel *Label8; // the host as typed on the single ping page
};
