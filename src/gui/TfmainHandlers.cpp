// The main window's handlers and the events of its controls.
#include "gui/Tfmain.h"

#include "core/Mtools.h"
#include "gui/Dialogs.h"
#include "gui/RunBreather.h"
#include "platform/ScreenPlatforms.h"
#include "platform/TarveloError.h"

#include <QAbstractItemDelegate>
#include <QCloseEvent>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMetaProperty>
#include <QMouseEvent>
#include <QPointer>
#include <QTableView>
#include <QTimer>

void Tfmain::FormCreate() {
    guard([this] { m_session->FormCreate(); });
}

void Tfmain::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!m_placed) {
        m_placed = true;
        centreOnScreen(); // now with the window's frame
    }
    layoutControls();
    formShowOnce();
}

// A window started minimised runs its command line when the user first
// restores it, not while it waits in the task bar.
void Tfmain::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && isVisible()) {
        formShowOnce();
    }
}

void Tfmain::formShowOnce() {
    if (!m_formShown && !isMinimized()) {
        m_formShown = true;
        FormShow();
    }
}

void Tfmain::FormShow() {
    guard([this] { m_session->FormShow(m_parameters); });
}

void Tfmain::closeEvent(QCloseEvent* event) {
    if (m_terminationRequested) {
        event->accept();
        return;
    }
    // A configuration that cannot be written keeps the window open.
    if (m_reporter.guard([this] { m_session->FormClose(); })) {
        event->accept();
    } else {
        event->ignore();
    }
}

// The same road as the window's close button.
void Tfmain::Beenden1Click() {
    close();
}

void Tfmain::btoeffnenClick() {
    guard([this] {
        if (const auto chosen = m_dialogs.openListFile(this)) {
            setEmailliste(*chosen);
        }
    });
}

void Tfmain::btsyncClick() {
    storeOpenEdit();
    guard([this] { m_session->btsyncClick(); });
}

// A preview changes nothing, not even an address still being typed: it
// waits until that is stored or dropped. An editor opened and left as it
// was holds nothing back.
void Tfmain::Testlauf1Click() {
    guard([this] {
        if (editNotStored()) {
            throw TarveloError(QStringLiteral(
                "Eine Eingabe im Raster ist noch nicht gespeichert: erst mit Enter speichern "
                "oder mit Esc verwerfen, dann den Testlauf starten, der nichts ändert"));
        }
        m_session->Testlauf1Click();
    });
}

std::pair<QTableView*, QWidget*> Tfmain::openEdit() const {
    QWidget* editor = focusWidget();
    for (QTableView* grid : {Routen, DBGrid2}) {
        if (editor != nullptr && editor != grid && grid->isAncestorOf(editor)) {
            return {grid, editor};
        }
    }
    return {nullptr, nullptr};
}

// An address typed in a grid but not yet confirmed is stored before a run or
// the export reads the table, however it is started: a click on Start stores
// it by taking the focus, a menu command or the export button takes none.
void Tfmain::storeOpenEdit() {
    const auto [grid, editor] = openEdit();
    if (grid != nullptr) {
        emit grid->itemDelegate()->commitData(editor);
        emit grid->itemDelegate()->closeEditor(editor);
    }
}

bool Tfmain::editNotStored() const {
    const auto [grid, editor] = openEdit();
    if (grid == nullptr) {
        return false;
    }
    const QModelIndex cell = grid->currentIndex();
    const QByteArray property = editor->metaObject()->userProperty().name();
    return grid->indexWidget(cell) != editor ||
           editor->property(property).toString() !=
               grid->model()->data(cell, Qt::EditRole).toString();
}

void Tfmain::RoutenCellClick() {
    guard([this] { m_session->RoutenCellClick(); });
}

void Tfmain::HmailRefresh1Click() {
    guard([this] { m_session->HmailRefresh1Click(); });
}

void Tfmain::HMailPasswort1Click() {
    guard([this] {
        if (const auto entered = m_dialogs.inputBox(this, QStringLiteral("Hmail Admin"),
                                                    QStringLiteral("Passwort"), QString())) {
            m_session->storeAdminPassword(*entered);
        }
    });
}

void Tfmain::DomainExport1Click() {
    guard([this] {
        m_session->DomainExport1Click([this](const QString& proposed) {
            const std::optional<QString> chosen = m_dialogs.saveExportFile(this, proposed);
            // The export walks the table: an address still being typed is
            // stored first and written with the others, as the grid shows
            // it. Cancelled, the edit stays open as it was.
            if (chosen) {
                storeOpenEdit();
            }
            return chosen;
        });
    });
}

void Tfmain::Ausnahmen1Click() {
    guard([this] {
        const QString file = m_session->paths().exceptionFile;
        const auto notOpened = [file](const QString& reason) {
            return QStringLiteral("Die Datei \"%1\" kann nicht geöffnet werden: %2")
                .arg(file, reason);
        };
        // The desktop would blame a missing editor, or open an empty one.
        if (!QFileInfo(file).isFile()) {
            m_session->LogMessage(notOpened(QStringLiteral("sie fehlt")));
            return;
        }
        const QPointer<Tfmain> window(this);
        const auto failedLater = [window, notOpened](const QString& reason) {
            if (window) {
                window->logWhenIdle(notOpened(reason));
            }
        };
        if (!Mtools::OpenDocument(file, [this, &failedLater](const QString& name) {
                return m_dialogs.openDocument(name, failedLater);
            })) {
            // No dialog of the program's own: the log says why nothing opened.
            m_session->LogMessage(
                notOpened(QStringLiteral("kein Programm zum Öffnen von Textdateien gefunden (%1)")
                              .arg(ScreenPlatforms::textViewerSetting())));
        }
    });
}

void Tfmain::logWhenIdle(const QString& message) {
    // The pane holds a run's protocol while it works: a line from outside
    // the run waits for its end.
    if (m_breather->working()) {
        QTimer::singleShot(100, this, [this, message] { logWhenIdle(message); });
        return;
    }
    guard([this, &message] { m_session->LogMessage(message); });
}

void Tfmain::Ausnahmehinzufgen1Click() {
    guard([this] {
        m_session->Ausnahmehinzufgen1Click(
            [this](const QString& caption, const QString& prompt, const QString& text) {
                return m_dialogs.inputBox(this, caption, prompt, text);
            });
    });
}

// --- Grid events -------------------------------------------------------------

bool Tfmain::eventFilter(QObject* watched, QEvent* event) {
    // The route grid answers the left mouse button only: another button
    // neither moves its current row nor loads addresses.
    if (watched == Routen->viewport()) {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
            if (static_cast<QMouseEvent*>(event)->button() != Qt::LeftButton) {
                return true;
            }
            break;
        default:
            break;
        }
    }
    if (event->type() == QEvent::KeyPress && (watched == Routen || watched == DBGrid2)) {
        if (gridKeyPress(static_cast<QTableView*>(watched), *static_cast<QKeyEvent*>(event))) {
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

bool Tfmain::gridKeyPress(QTableView* grid, const QKeyEvent& key) {
    const Qt::KeyboardModifiers modifiers =
        key.modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
    if (key.key() == Qt::Key_Delete && modifiers == Qt::ControlModifier) {
        deleteCurrentRow(grid);
        return true;
    }
    // Keys that come from an open cell editor are the editor's.
    if (grid != DBGrid2 || modifiers != Qt::NoModifier ||
        grid->indexWidget(grid->currentIndex()) != nullptr) {
        return false;
    }
    // Appending, as in a database grid: Insert, or Down on the last row,
    // adds an empty row; Escape drops it again while nothing was entered.
    const int row = grid->currentIndex().isValid() ? grid->currentIndex().row() : -1;
    const int rows = m_session->addressDataset().rowCount();
    switch (key.key()) {
    case Qt::Key_Insert:
        appendAddressRow();
        return true;
    case Qt::Key_Down:
        if (m_session->addressDataset().isPendingRow(row)) {
            return true;
        }
        if (rows == 0 || row == rows - 1) {
            appendAddressRow();
            return true;
        }
        return false;
    case Qt::Key_Escape:
        if (m_session->addressDataset().isPendingRow(row)) {
            m_session->addressDataset().cancelPendingRow();
            return true;
        }
        return false;
    default:
        return false;
    }
}

void Tfmain::appendAddressRow() {
    if (!m_session->addressDataset().isOpen()) {
        return;
    }
    const QModelIndex cell =
        m_session->addressDataset().index(m_session->addressDataset().appendPendingRow(), 0);
    DBGrid2->setCurrentIndex(cell);
    DBGrid2->scrollTo(cell);
}

void Tfmain::deleteCurrentRow(QTableView* grid) {
    const QModelIndex current = grid->currentIndex();
    if (!current.isValid() || !m_dialogs.confirm(this, QStringLiteral("Datensatz löschen?"))) {
        return;
    }
    guard([&] {
        if (grid == Routen) {
            m_session->routesDataset().setCurrentRow(current.row());
            m_session->routesDataset().deleteCurrent();
        } else if (m_session->addressDataset().isPendingRow(current.row())) {
            m_session->addressDataset().cancelPendingRow();
        } else {
            m_session->addressDataset().deleteRow(current.row());
        }
    });
}
