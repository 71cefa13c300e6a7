#pragma once
#include <QString>

class QAction;
class QMenu;
class QWidget;
class TForm1;

// The main window's design: its controls, menus and components as laid out, bound to its handlers.
class Form1Design {
public:
    static void build(TForm1 &form);

private:
    explicit Form1Design(TForm1 &form);

    void createPages();
    void createSinglePingPage();
    void createDockBar();
    void createFoundMachines();
    void createStatusBar();
    void createMenus();
    void createTray();
    void createFileDialogs();
    void createMessages();
    void createCentral();
    QAction *newAction(const QString &text, const char *name, void (TForm1::*handler)());
    QMenu *newMenu(const QString &title, const char *name, QWidget *parent);

    TForm1 &m_form;
};
