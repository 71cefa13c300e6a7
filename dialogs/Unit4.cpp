#include "Unit4.h"

#include "ui/Artwork.h"
#include "ui/ExceptionReport.h"
#include "widgets/AHMTHolders.h"
#include "widgets/ScreenCentre.h"
#include "widgets/ToxBackground.h"
#include "widgets/XDesktop.h"
#include "widgets/oxBtns.h"

#include <QCloseEvent>
#include <QLabel>
#include <QPlainTextEdit>

namespace {
constexpr TColor Red = rgbColor(255, 0, 0);
constexpr TColor Purple = rgbColor(128, 0, 128);
constexpr TColor Teal = rgbColor(0, 128, 128);

constexpr int ButtonWidth = 81;
constexpr int ButtonHeight = 21;
constexpr int ButtonLeft = TForm4::ClientWidth - ButtonWidth - 8;
constexpr int ButtonTop = 166;
constexpr int ButtonPitch = 23;

const char *const IdeaText[] = {
    "La idea de este programa nació una tarde cualquiera,",
    "en una oficina pequeña con una docena de ordenadores",
    "unidos por cables que nadie recordaba haber tendido.",
    "Cada mañana alguien hacía la misma pregunta:",
    "¿qué máquinas están encendidas y cuáles no contestan?",
    "",
    "Para saberlo había que ir de mesa en mesa, escribir",
    "una orden en cada equipo y apuntar el resultado en",
    "un papel que siempre acababa perdido entre facturas.",
    "Así que pensamos en algo más sencillo: una ventana,",
    "un nombre o una dirección, y un botón que preguntara",
    "a la red si aquella máquina seguía allí.",
    "",
    "El primer intento solo sabía enviar un eco y esperar",
    "la respuesta. Era poco, pero ya ahorraba paseos.",
    "Enseguida quisimos más: recorrer un rango completo",
    "de direcciones, una detrás de otra, y guardar las",
    "que respondieran para volver a ellas más tarde.",
    "",
    "De ahí salieron los iconos de las máquinas halladas,",
    "la lista de direcciones que se puede guardar en un",
    "fichero y leer otro día, y el botón para volver a",
    "preguntar a todas de una vez y ver quién sigue vivo.",
    "",
    "También aprendimos que la paciencia importa: cada",
    "red tiene su ritmo, y por eso el tamaño del paquete,",
    "el tiempo de espera, el TTL y el intervalo entre",
    "preguntas se pueden ajustar a gusto de cada uno.",
    "",
    "Nunca quisimos hacer una herramienta enorme. Nos",
    "bastaba con algo rápido de abrir, fácil de entender",
    "y que cupiera en un disquete junto a otras utilidades.",
    "Si alguna vez te ha ahorrado una vuelta por la",
    "oficina, el programa ya ha cumplido su propósito.",
    "",
    "Gracias a todos los que probaron las primeras",
    "versiones, a los que encontraron errores en los",
    "peores momentos y a los que pidieron una función",
    "más cuando creíamos haber terminado. Sin ellos esta",
    "idea se habría quedado en una nota pegada al monitor.",
    "Que lo disfrutes.",
};

const char *const AuthorText[] = {
    "El autor es un aficionado a las redes que empezó",
    "a programar por necesidad y siguió por gusto.",
    "",
    "Aprendió a contar bits antes que a contar ovejas,",
    "y desde entonces no puede ver un cable suelto sin",
    "preguntarse adónde llevará.",
    "",
    "De día mantiene ordenadores ajenos; de noche escribe",
    "pequeñas utilidades que le hacen la vida más fácil",
    "y que, con suerte, también se la facilitan a otros.",
    "",
    "Le gustan el café fuerte, los manuales bien escritos",
    "y los programas que hacen una sola cosa y la hacen",
    "bien. Le disgustan las ventanas que no se cierran y",
    "las redes que nadie ha documentado.",
    "",
    "Este programa es su manera de devolver algo a todos",
    "los que alguna vez le ayudaron a encontrar una",
    "máquina perdida en la red.",
    "",
    "Si tienes una idea para mejorarlo, una crítica o",
    "simplemente quieres saludar, escribe al grupo:",
    "toda opinión será bienvenida.",
};

const char *const MakerText[] = {
    "Zarvo Soft. es un pequeño grupo de amigos unidos",
    "por la curiosidad y por muchas horas frente a la",
    "pantalla.",
    "",
    "Nació casi sin querer, cuando varios compañeros de",
    "estudios empezaron a compartir sus utilidades en",
    "disquetes que pasaban de mano en mano.",
    "",
    "Con el tiempo los disquetes se convirtieron en un",
    "nombre, el nombre en un logotipo dibujado a mano y",
    "el logotipo en la firma que ves en cada programa.",
    "",
    "No somos una empresa ni pretendemos serlo. Nadie",
    "cobra por lo que hacemos y nadie nos obliga a",
    "terminar nada, lo cual explica algunas cosas.",
    "",
    "Lo que sí tenemos son unas pocas reglas: que el",
    "programa sea pequeño, que funcione sin instalar",
    "medio sistema y que cualquiera pueda entenderlo",
    "sin leer un libro entero.",
    "",
    "Entre nuestros trabajos hay herramientas de red,",
    "algún juego sencillo, utilidades para ficheros y",
    "un buen montón de ideas que nunca salieron del",
    "cuaderno de notas.",
    "",
    "Si este programa te resulta útil, compártelo con",
    "quien lo necesite. Si encuentras un fallo, cuéntanoslo",
    "y lo arreglaremos en cuanto tengamos un rato libre.",
    "",
    "Gracias por usar nuestro trabajo y por llegar",
    "hasta el final de este texto, cosa que muy poca",
    "gente hace.",
    "",
    "Un saludo de parte de todo el grupo,",
    "Zarvo Soft.",
};

template <std::size_t N> QStringList linesOf(const char *const (&text)[N])
{
    QStringList lines;
    for (const char *line : text)
        lines << QString::fromUtf8(line);
    return lines;
}

QFont pointFont(const char *family, int points)
{
    QFont font(family);
    font.setPointSize(points);
    return font;
}
} // namespace

TForm4::TForm4(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::MSWindowsFixedSizeDialogHint)
{
    setObjectName("Form4");
    setWindowTitle("Zarvo Creditos");
    setFixedSize(ClientWidth, ClientHeight);
    TXDesktop::askForNoWindowButtons(this);
    setAutoFillBackground(true);
    setPalette(QPalette(Qt::white, Qt::black));
    createTexts();
    createPicture();
    createButtons();
    createMemo();
    TScreenCentre::keepCentred(this);
}

void TForm4::createTexts()
{
    laidea = new TAHMStringHolder(this);
    laidea->setObjectName("laidea");
    laidea->SetItems(linesOf(IdeaText));
    yo = new TAHMStringHolder(this);
    yo->setObjectName("yo");
    yo->SetItems(linesOf(AuthorText));
    zarvo = new TAHMStringHolder(this);
    zarvo->setObjectName("zarvo");
    zarvo->SetItems(linesOf(MakerText));
}

void TForm4::createPicture()
{
    Image1 = new QLabel(this);
    Image1->setObjectName("Image1");
    Image1->setAccessibleName("Tozelo 99 version 1.1");
    Image1->setGeometry(0, 0, ClientWidth, PictureHeight);
    Image1->setAlignment(Qt::AlignCenter);
    Image1->setPixmap(QPixmap::fromImage(Artwork::splash(QSize(Artwork::SplashWidth, Artwork::SplashHeight))));
    Label1 = new QLabel("Version 1.1.1", Image1);
    Label1->setObjectName("Label1");
    Label1->setFont(pointFont("Times New Roman", 12));
    Label1->setPalette(QPalette(Qt::white, Qt::black));
    Label1->move(204, 60);
    Label1->adjustSize();
}

void TForm4::createButtons()
{
    lida = makeButton("lida", "La idea", 0, &TForm4::lidaClick);
    lida->SetColor(Red);
    lida->SetTextX(19);
    euor = makeButton("euor", "El autor", 1, &TForm4::euorClick);
    euor->SetColor(Red);
    ks = makeButton("ks", "Zarvo Soft.", 2, &TForm4::ksClick);
    ks->SetColor(Purple);
    ks->SetTextX(7);
    oxGraphicButton1 = makeButton("oxGraphicButton1", "Cerrar", 3, &TForm4::oxGraphicButton1Click);
    oxGraphicButton1->SetColor(colorBlack);
    oxGraphicButton1->Background()->SetGradient(Purple);
    oxGraphicButton1->Background()->SetDitherDown(false);
    oxGraphicButton1->SetShadowColor(Teal);
}

ToxGraphicButton *TForm4::makeButton(const char *name, const QString &caption, int row, void (TForm4::*handler)())
{
    auto *button = new ToxGraphicButton(this);
    button->setObjectName(name);
    button->setAccessibleName(caption);
    button->setGeometry(ButtonLeft, ButtonTop + row * ButtonPitch, ButtonWidth, ButtonHeight);
    button->SetCaption(caption);
    button->SetStyle(bsInset);
    button->Background()->SetStyle(oxbGradient);
    button->Background()->SetGradient(colorBlack);
    button->SetFont(pointFont("Bookman Old Style", 8));
    button->SetFontColor(colorWhite);
    button->SetTextX(0);
    button->SetTextY(0);
    button->SetOptions({});
    button->OnClick = [this, handler](QObject *) { reportExceptions(this, [this, handler] { (this->*handler)(); }); };
    return button;
}

void TForm4::createMemo()
{
    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName("Memo1");
    Memo1->setAccessibleName("Creditos");
    Memo1->setTabChangesFocus(true);
    Memo1->setGeometry(0, PictureHeight, ClientWidth, ClientHeight - PictureHeight);
    Memo1->setFont(pointFont("Times New Roman", 10));
    QPalette colours = Memo1->palette();
    colours.setColor(QPalette::Base, Qt::black);
    colours.setColor(QPalette::Text, Qt::white);
    Memo1->setPalette(colours);
    Memo1->setReadOnly(true);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    showText(laidea);
}

void TForm4::showText(const TAHMStringHolder *holder)
{
    Memo1->setPlainText(holder->Items().join('\n'));
}

void TForm4::lidaClick()
{
    showText(laidea);
}

void TForm4::euorClick()
{
    showText(yo);
}

void TForm4::ksClick()
{
    showText(zarvo);
}

void TForm4::oxGraphicButton1Click()
{
    hide();
}

void TForm4::reject() {}

// Asked for none, a close box can still be drawn by a window manager that keeps it on every
// window; there it does what "Cerrar" does rather than nothing.
void TForm4::closeEvent(QCloseEvent *event)
{
    oxGraphicButton1Click();
    event->accept();
}
