#include "Unit2.h"

TForm2::TForm2(QWidget *parent) : QDialog(parent)
{
    setObjectName("Form2");
    setWindowTitle("MultiPinG");
}
