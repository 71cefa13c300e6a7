#include "Unit4.h"

TForm4::TForm4(QWidget *parent) : QDialog(parent)
{
    setObjectName("Form4");
    setWindowTitle("Zarvo Creditos");
}
