#pragma once
#include <QDialog>

class QLabel;
class QPlainTextEdit;
class TAHMStringHolder;
class ToxGraphicButton;

// The credits dialog: the program's picture and version, and one of three texts (the idea, the
// author, the maker) chosen with the buttons beside the picture. It is only hidden, never
// destroyed, so the text last chosen is still there next time.
class TForm4 : public QDialog {
    Q_OBJECT
public:
    static constexpr int ClientWidth = 358;
    static constexpr int ClientHeight = 394;
    static constexpr int PictureHeight = 262;

    explicit TForm4(QWidget *parent = nullptr);

    void lidaClick();
    void euorClick();
    void ksClick();
    void oxGraphicButton1Click();

    QLabel *Image1;
    QLabel *Label1;
    ToxGraphicButton *lida;
    ToxGraphicButton *euor;
    ToxGraphicButton *ks;
    ToxGraphicButton *oxGraphicButton1;
    QPlainTextEdit *Memo1;
    TAHMStringHolder *laidea;
    TAHMStringHolder *yo;
    TAHMStringHolder *zarvo;

public slots:
    // Escape does nothing: "Cerrar" is the way out.
    void reject() override;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void createPicture();
    void createButtons();
    void createMemo();
    void createTexts();
    ToxGraphicButton *makeButton(const char *name, const QString &caption, int row, void (TForm4::*handler)());
    void showText(const TAHMStringHolder *holder);
};
