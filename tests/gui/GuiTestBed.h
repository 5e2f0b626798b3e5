#pragma once

#include "ManualClock.h"
#include "core/AppPaths.h"
#include "core/ErrorReporter.h"
#include "gui/Dialogs.h"
#include "gui/RunBreather.h"
#include "gui/Tfmain.h"
#include "platform/Clock.h"

#include "QStringPrinter.h"

#include <QModelIndex>
#include <QObject>
#include <QPair>
#include <QPoint>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <deque>
#include <memory>
#include <optional>

class QAbstractItemModel;
class QAction;
class QTableView;

// Dialogs answered in advance; every question asked is recorded. A question
// without a prepared answer fails the test and is answered with "cancel".
class ScriptedDialogs : public Dialogs {
public:
    struct Input {
        QString caption;
        QString prompt;
        QString text;
    };

    std::optional<QString> openListFile(QWidget* parent) override;
    std::optional<QString> saveExportFile(QWidget* parent, const QString& proposed) override;
    std::optional<QString> inputBox(QWidget* parent, const QString& caption, const QString& prompt,
                                    const QString& text) override;
    bool confirm(QWidget* parent, const QString& question) override;
    void message(QWidget* parent, const QString& text) override;
    bool openDocument(const QString& fileName,
                      const std::function<void(const QString& reason)>& failed) override;

    std::deque<std::optional<QString>> openAnswers;
    std::deque<std::optional<QString>> saveAnswers;
    std::deque<std::optional<QString>> inputAnswers;
    std::deque<bool> confirmAnswers;

    int openCalls = 0;
    QStringList saveProposals;
    QList<Input> inputs;
    QStringList questions;
    // The files handed to the desktop, and whether it takes them.
    QStringList openedDocuments;
    bool desktopOpens = true;
    // What the launcher says later, after it took the file; empty: nothing.
    QString desktopFailsLater;
};

// Counts the paint events a widget receives.
class PaintCounter : public QObject {
public:
    explicit PaintCounter(QWidget* widget);
    int paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override;
};

// Input as the window system delivers it: queued, reaching the widget when
// the event loop runs. A click at the given point (the middle by default).
void postClick(QWidget* widget, std::optional<QPoint> at = std::nullopt);
void postKey(QWidget* widget, Qt::Key key, const QString& text = QString(),
             Qt::KeyboardModifiers modifiers = Qt::NoModifier);

// How many of lines end with end.
int countEnding(const QStringList& lines, const QString& end);

// A scratch installation beside a would-be executable: tarvelo.ini pointing
// at an SQLite database with the demo routes (example.com 1, example.org 2,
// sub.example.com 3, mail.example.net 4; shown ordered by name), an address
// list, ausnahmen.txt and a protocol directory; and the real window over it.
class GuiTestBed : public ::testing::Test {
protected:
    GuiTestBed();
    ~GuiTestBed() override;

    // Creates the window (FormCreate) and shows it (FormShow).
    Tfmain& openWindow(const QStringList& parameters = {});
    // Creates the window only.
    Tfmain& createWindow(const QStringList& parameters = {});
    // Destroys the window without closing it, as the end of the process does.
    void dropWindow();
    Tfmain& window() { return *m_window; }

    template <typename T> T* control(const QString& name) {
        T* found = m_window->findChild<T*>(name);
        EXPECT_NE(found, nullptr) << name.toStdString();
        return found;
    }
    QTableView* Routen();
    QTableView* DBGrid2();
    // The counter's caption and whether Start can be pressed, as shown.
    QString zaehler();
    bool syncEnabled();
    QAction* action(const QString& name);
    // What keeps the window painted while a run or a refresh works.
    RunBreather& breather();

    // Mouse on a data cell of a grid, through its viewport.
    void clickCell(QTableView* grid, int row, Qt::MouseButton button = Qt::LeftButton);
    // The texts a grid shows in its one column.
    static QStringList shownTexts(const QTableView* grid);
    QStringList shownAddresses();

    QList<QPair<qint64, QString>> tableRows() const;
    QStringList addressesOfRoute(int routeId) const;
    QStringList logLines() const;
    QString iniText() const;
    QByteArray fileBytes(const QString& path) const;
    void writeFile(const QString& path, const QByteArray& bytes) const;

    QTemporaryDir dir;
    AppPaths paths;
    QString connection;
    QString listFile;
    ManualClock clock;
    RunWaits waits; // for the windows created from now on
    ScriptedDialogs dialogs;
    QStringList messages; // what the message box showed, one entry per box
    // Each message also in a real modal box, closed with Enter as a user does.
    bool modalMessages = false;
    ErrorReporter reporter;

private:
    void showMessage(const QString& message);

    std::unique_ptr<Tfmain> m_window;
};
