#pragma once
#include <QString>

class QAction;
class QImage;
class QMenu;
class QVBoxLayout;
class QWidget;
class TForm1;
class TTransparentButton;

// The main window's design: its controls, menus and components as laid out, bound to its handlers.
class Form1Design {
public:
    static void build(TForm1 &form);
    // The keyboard's way through the window, once both pages are built: the page shown, the
    // dock bar, the found machines, then the caption's buttons from left to right.
    static void orderTabs(TForm1 &form);
    // The lists' and logs' scroll bars in the dialogs' colours, once both pages are built.
    static void colourScrollBars(TForm1 &form);
    // One least size whatever page shows, so that the window manager keeps it: the tallest page
    // and the found machines with their controls at their least.
    static void setLeastSize(TForm1 &form);

private:
    explicit Form1Design(TForm1 &form);

    void createCentral();
    void createPages();
    void createSinglePingPage();
    void createDockBar();
    void createDockButtons();
    void createFoundMachines();
    void createStatusBar();
    void createMenus();
    void createCaptionBar();
    void createSplash();
    void createFileDialogs();
    void createMessages();
    QAction *newAction(const QString &text, const char *name, void (TForm1::*handler)());
    QMenu *newMenu(const QString &title, const char *name, QWidget *parent);
    TTransparentButton *newDockButton(const char *name, const QString &hint, const QImage &glyph);
    void newDockBevel();
    void newDockSpace();

    TForm1 &m_form;
    QVBoxLayout *m_column = nullptr;
    int m_bevels = 0;
};
