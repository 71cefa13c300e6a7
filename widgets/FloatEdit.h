#pragma once
#include "Events.h"

#include <QLineEdit>
#include <optional>

// The single-line field in which numbers are typed: only digits and one decimal separator get
// through from the keyboard. Text set by the program or pasted from the context menu is not
// filtered.
class TFloatEdit : public QLineEdit {
    Q_OBJECT
public:
    using TKeyPressEvent = std::function<void(QObject *Sender, QChar &Key)>;
    using TKeyEvent = std::function<void(QObject *Sender, int &Key, Qt::KeyboardModifiers Shift)>;

    explicit TFloatEdit(QWidget *parent = nullptr);

    QString Text() const { return text(); }
    void SetText(const QString &value);
    // 0 means no limit.
    int MaxLength() const;
    void SetMaxLength(int value);

    // The character as the field lets it through: itself, or the null character when discarded.
    // typedBefore: characters of the same entry let through already but not yet in the text.
    QChar filterChar(QChar key, const QString &typedBefore = QString()) const;

    // The locale's decimal separator, read once; "." where the locale has none.
    static QChar DecimalSeparator();
    // Test seam: another separator, as another locale would give. Never set by the program.
    static void setDecimalSeparator(QChar separator);

    // While OnKeyUp runs: whether the key released is the one whose press put a character into the
    // text. The release of the Tab that brought the focus here, or of a key that only moved the
    // cursor, typed nothing.
    bool ReleaseTyped() const { return m_releaseTyped; }

    TNotifyEvent OnChange;
    TKeyPressEvent OnKeyPress;
    TKeyEvent OnKeyUp;

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    void inputMethodEvent(QInputMethodEvent *event) override;

private:
    QChar keyPress(QChar key, const QString &typedBefore = QString());
    void passKeyPress(QKeyEvent *event, const std::optional<QChar> &typed);

    int m_typingKey = 0; // the key of the last press, when it typed a character
    bool m_releaseTyped = false;
};
