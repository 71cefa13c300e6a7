#include "Unit3.h"

#include <QLabel>
#include <QVBoxLayout>

TForm3::TForm3(QWidget *parent) : QDialog(parent), Label8(new QLabel("000.000.000.000", this))
{
    setObjectName("Form3");
    setWindowTitle("Single PinG");
    Label8->setObjectName("Label8");
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(Label8);
}
