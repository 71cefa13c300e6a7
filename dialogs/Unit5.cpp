#include "Unit5.h"

TForm5::TForm5(QWidget *parent) : QDialog(parent)
{
    setObjectName("Form5");
    setWindowTitle("Multi PinG99");
}
