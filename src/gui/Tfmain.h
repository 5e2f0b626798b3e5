#pragma once

#include "core/ErrorReporter.h"
#include "core/MainSession.h"
#include "core/WindowState.h"

#include <QMainWindow>

#include <memory>
#include <utility>

class Dialogs;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QTableView;
class QToolButton;
class QAction;
class QFrame;
class QKeyEvent;
class QStatusBar;
class ProtocolPane;
class RunBreather;

// The main window `fmain`: its controls hold the state that the handlers
// read and write; each handler reads the controls, calls the session, and
// writes the result back. Errors end the handler and are reported once.
class Tfmain : public QMainWindow, public WindowState {
    Q_OBJECT
public:
    Tfmain(const AppPaths& paths, const Clock& clock, Dialogs& dialogs, ErrorReporter& reporter,
           QStringList parameters, RunWaits waits = {}, QWidget* parent = nullptr);
    ~Tfmain() override;

    MainSession& session() { return *m_session; }
    const MainSession& session() const { return *m_session; }

    // WindowState
    QString emailliste() const override;
    void setEmailliste(const QString& text) override;
    QString domain() const override;
    void setDomain(const QString& text) override;
    void setZaehler(const QString& caption) override;
    void clearProtokoll() override;
    void addProtokollLine(const QString& line) override;
    void setSyncEnabled(bool enabled) override;
    void requestTermination() override;
    void runStarted() override;
    void runWorking() override;
    void runWaiting() override;
    void runEnded() override;
    bool stopRequested() const override;

    // Places the window in the middle of its screen (done at every start).
    void centreOnScreen();

    // Handlers, each behind the error guard.
    void FormCreate();
    void FormShow();
    void btoeffnenClick();
    void btsyncClick();
    void RoutenCellClick();
    void DomainExport1Click();
    void Beenden1Click();
    void HmailRefresh1Click();
    void Testlauf1Click();
    void HMailPasswort1Click();
    void Ausnahmen1Click();
    void Ausnahmehinzufgen1Click();

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    void buildGrids();
    void buildStatusBar();
    void buildMenus();
    void connectControls();
    void layoutControls();
    // FormShow, the first time the window is shown and not minimised.
    void formShowOnce();
    // Keys of the grids: Ctrl+Delete, and appending in the address grid.
    bool gridKeyPress(QTableView* grid, const QKeyEvent& key);
    void deleteCurrentRow(QTableView* grid);
    void appendAddressRow();
    void guard(const std::function<void()>& handler);
    void logWhenIdle(const QString& message);
    // The cell editor open in a grid, with its grid; both null where none is.
    std::pair<QTableView*, QWidget*> openEdit() const;
    void storeOpenEdit();
    // An open cell editor whose text is not what its cell holds.
    bool editNotStored() const;
    void leaveAddressEditor(QWidget* editor, bool backward);
    // An error of a grid's dataset, reported with the keyboard kept in that grid.
    void reportGridError(QTableView* grid, const QString& message);

    std::unique_ptr<MainSession> m_session;
    Dialogs& m_dialogs;
    ErrorReporter& m_reporter;
    QStringList m_parameters;
    bool m_placed = false;
    bool m_formShown = false;
    // Errors the address grid has reported: an edit refused.
    int m_addressErrors = 0;
    bool m_terminationRequested = false;
    // Without a screen nobody sees the protocol pane: it is left empty. Its
    // text document costs memory with every change of a large run, and does
    // not survive memory running out (the next line added crashes), so an
    // unattended run would lose the record of the changes made.
    bool m_paneUnseen = false;

    QWidget* m_client = nullptr;
    QFrame* Panel1 = nullptr;
    QToolButton* btoeffnen = nullptr;
    QToolButton* SpeedButton1 = nullptr;
    QLineEdit* m_emailliste = nullptr;
    QLabel* m_zaehler = nullptr;
    QPushButton* btsync = nullptr;
    QLabel* Label1 = nullptr;
    QLineEdit* m_domain = nullptr;
    QTableView* Routen = nullptr;
    QTableView* DBGrid2 = nullptr;
    QPlainTextEdit* Protokoll = nullptr;
    ProtocolPane* m_protokoll = nullptr;
    RunBreather* m_breather = nullptr;
    QStatusBar* Status = nullptr;
    QMenu* popup = nullptr;
};

// The one main window of the process; set before its creation handler runs.
extern Tfmain* fmain;
