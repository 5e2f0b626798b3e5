#include "gui/Tfmain.h"

#include "gui/MenuBarKeyboard.h"
#include "gui/ProtocolPane.h"
#include "gui/RowIndicatorHeader.h"
#include "gui/RunBreather.h"
#include "gui/TabLeavingDelegate.h"

#include <QApplication>
#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QStyle>
#include <QTableView>
#include <QToolButton>
#include <QWindow>

#include <algorithm>

Tfmain* fmain = nullptr;

namespace {
// The client area below the menu bar: the panel, the grids, the status bar.
constexpr int kClientWidth = 771;
constexpr int kPanelHeight = 56;
constexpr int kGridsHeight = 451;
constexpr int kStatusHeight = 19;
constexpr int kRoutenWidth = 191;
constexpr int kDBGrid2Width = 295;
constexpr int kProtokollWidth = 275;
constexpr int kRowHeight = 18;

void prepareGrid(QTableView* grid, QWidget* window) {
    auto* indicator = new RowIndicatorHeader(grid);
    grid->setVerticalHeader(indicator);
    indicator->setDefaultSectionSize(kRowHeight);
    indicator->followCurrentRow(grid);
    grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid->setSelectionMode(QAbstractItemView::SingleSelection);
    grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    grid->horizontalHeader()->setHighlightSections(false);
    grid->horizontalHeader()->setStretchLastSection(false);
    // By the pixel: scrolled by whole columns, the one column wider than the
    // pane would have nothing to scroll, its edge out of reach.
    grid->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    grid->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    grid->installEventFilter(window);
}

// The row a grid shows for the dataset's current row: at the dataset's end
// (past its last row) the last row.
int shownRow(const DatasetModel& dataset) {
    return std::min(dataset.currentRow(), dataset.rowCount() - 1);
}

// The grid and its dataset keep one current row: a move in either is made
// in the other.
void shareCurrentRow(QTableView* grid, DatasetModel& dataset) {
    QObject::connect(grid->selectionModel(), &QItemSelectionModel::currentRowChanged, &dataset,
                     [&dataset](const QModelIndex& current) {
                         if (current.isValid() && current.row() != shownRow(dataset)) {
                             dataset.setCurrentRow(current.row());
                         }
                     });
    QObject::connect(&dataset, &DatasetModel::currentRowChanged, grid, [grid, &dataset] {
        const int shown = shownRow(dataset);
        if (shown >= 0 && grid->currentIndex().row() != shown) {
            grid->setCurrentIndex(dataset.index(shown, 0));
        }
    });
}
} // namespace

Tfmain::Tfmain(const AppPaths& paths, const Clock& clock, Dialogs& dialogs, ErrorReporter& reporter,
               QStringList parameters, RunWaits waits, QWidget* parent)
    : QMainWindow(parent), m_dialogs(dialogs), m_reporter(reporter),
      m_parameters(std::move(parameters)), m_paneUnseen(waits.unattended) {
    setObjectName(QStringLiteral("fmain"));
    m_session = std::make_unique<MainSession>(paths, clock, *this, waits);
    m_reporter.setLog(&m_session->log());
    buildControls();
    m_breather = new RunBreather(this, waits.breath);
    connect(m_breather, &RunBreather::aboutToBreathe, this, [this] { m_protokoll->showPending(); });
    buildGrids();
    buildStatusBar();
    buildMenus();
    connectControls();
    // The client area below the menu bar is 771 by 526 pixels.
    resize(kClientWidth,
           menuBar()->sizeHint().height() + kPanelHeight + kGridsHeight + kStatusHeight);
    layoutControls();
    centreOnScreen();
    fmain = this;
    FormCreate();
}

Tfmain::~Tfmain() {
    m_reporter.setLog(nullptr);
    if (fmain == this) {
        fmain = nullptr;
    }
}

void Tfmain::guard(const std::function<void()>& handler) {
    m_reporter.guard(handler);
}

void Tfmain::centreOnScreen() {
    const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    if (screen == nullptr) {
        return;
    }
    const QRect area = screen->availableGeometry();
    // The frame the window system puts around the window, once the window
    // is made: Windows knows it then, an X window manager only later.
    const QMargins frame = windowHandle() != nullptr ? windowHandle()->frameMargins() : QMargins();
    const QSize outer = size().grownBy(frame);
    move(area.x() + (area.width() - outer.width()) / 2,
         area.y() + (area.height() - outer.height()) / 2);
}

void Tfmain::buildControls() {
    setWindowTitle(QStringLiteral("Tarvelo"));
    // The classic dialog font where Windows has it; elsewhere the desktop's
    // sans serif of the same size.
    QFont font;
    font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Sans Serif")});
    font.setPointSize(8);
    font.setStyleHint(QFont::SansSerif);
    setFont(font);
    QPalette windowPalette = palette();
    windowPalette.setColor(QPalette::Window, windowPalette.color(QPalette::Button));
    setPalette(windowPalette);

    // The client area of a document frame: darker wherever no control lies.
    m_client = new QWidget(this);
    m_client->setObjectName(QStringLiteral("ClientArea"));
    m_client->setAutoFillBackground(true);
    QPalette clientPalette = m_client->palette();
    clientPalette.setColor(QPalette::Window, clientPalette.color(QPalette::Dark));
    m_client->setPalette(clientPalette);
    setCentralWidget(m_client);

    Panel1 = new QFrame(m_client);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFrameShape(QFrame::Panel);
    Panel1->setFrameShadow(QFrame::Raised);
    Panel1->setAutoFillBackground(true);
    Panel1->setPalette(windowPalette);

    btoeffnen = new QToolButton(Panel1);
    btoeffnen->setObjectName(QStringLiteral("btoeffnen"));
    btoeffnen->setAutoRaise(true);
    btoeffnen->setIcon(style()->standardIcon(QStyle::SP_DirOpenIcon));
    btoeffnen->setIconSize(QSize(16, 16));
    btoeffnen->setGeometry(5, 3, 23, 22);
    btoeffnen->setFocusPolicy(Qt::NoFocus);
    btoeffnen->setToolTip(QStringLiteral("Adressliste wählen"));

    SpeedButton1 = new QToolButton(Panel1);
    SpeedButton1->setObjectName(QStringLiteral("SpeedButton1"));
    SpeedButton1->setAutoRaise(true);
    SpeedButton1->setIcon(style()->standardIcon(QStyle::SP_DialogSaveButton));
    SpeedButton1->setIconSize(QSize(18, 18));
    SpeedButton1->setGeometry(5, 26, 23, 22);
    SpeedButton1->setFocusPolicy(Qt::NoFocus);
    SpeedButton1->setToolTip(QStringLiteral("Adressen der Route exportieren"));

    m_emailliste = new QLineEdit(Panel1);
    m_emailliste->setObjectName(QStringLiteral("emailliste"));
    m_emailliste->setGeometry(35, 5, 256, 21);

    m_zaehler = new QLabel(QStringLiteral("..."), Panel1);
    m_zaehler->setObjectName(QStringLiteral("zaehler"));
    m_zaehler->setGeometry(40, 30, 250, 16);

    btsync = new QPushButton(QStringLiteral("Start"), Panel1);
    btsync->setObjectName(QStringLiteral("btsync"));
    btsync->setGeometry(300, 5, 75, 25);
    // Enter on the focused button presses it, as the space bar does.
    btsync->setAutoDefault(true);

    Label1 = new QLabel(QStringLiteral("Domain"), Panel1);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->move(385, 10);
    Label1->adjustSize();

    m_domain = new QLineEdit(Panel1);
    m_domain->setObjectName(QStringLiteral("Domain"));
    m_domain->setGeometry(430, 5, 221, 21);

    // The hidden list box `Liste` is the session's working list: nobody
    // ever sees it, so the window shows no widget for it.

    Protokoll = new QPlainTextEdit(m_client);
    Protokoll->setObjectName(QStringLiteral("Protokoll"));
    Protokoll->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    Protokoll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Protokoll->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Protokoll->setTabChangesFocus(true);
    m_protokoll = new ProtocolPane(Protokoll);
}

void Tfmain::buildGrids() {
    Routen = new QTableView(m_client);
    Routen->setObjectName(QStringLiteral("Routen"));
    // The datasets `routes` and `Address` are the grids' models.
    m_session->routesDataset().setErrorSink(
        [this](const QString& message) { reportGridError(Routen, message); });
    Routen->setModel(&m_session->routesDataset());
    prepareGrid(Routen, this);
    Routen->setShowGrid(false);
    Routen->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Tab leaves the grid for the next control; the arrow keys move within it.
    Routen->setTabKeyNavigation(false);
    Routen->setColumnWidth(0, 150);
    // Only the left button acts on the route grid.
    Routen->viewport()->installEventFilter(this);

    DBGrid2 = new QTableView(m_client);
    DBGrid2->setObjectName(QStringLiteral("DBGrid2"));
    m_session->addressDataset().setErrorSink([this](const QString& message) {
        ++m_addressErrors;
        reportGridError(DBGrid2, message);
    });
    DBGrid2->setModel(&m_session->addressDataset());
    DBGrid2->setItemDelegate(new TabLeavingDelegate(
        DBGrid2, [this](QWidget* editor, bool backward) { leaveAddressEditor(editor, backward); }));
    prepareGrid(DBGrid2, this);
    DBGrid2->setShowGrid(true);
    DBGrid2->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                             QAbstractItemView::AnyKeyPressed);
    DBGrid2->setTabKeyNavigation(false);
    DBGrid2->setColumnWidth(0, 262);
    DBGrid2->setContextMenuPolicy(Qt::CustomContextMenu);
}

// The message box takes the focus from the cell editor, and the editor is
// gone when the box closes: left alone, the focus would fall to the list
// path beside the grid, and the keys meant for the address would change the
// list that the next run reads and the configuration keeps.
void Tfmain::reportGridError(QTableView* grid, const QString& message) {
    QWidget* focus = QApplication::focusWidget();
    const bool inGrid = focus != nullptr && (focus == grid || grid->isAncestorOf(focus));
    m_reporter.report(message);
    if (inGrid) {
        // Once the editor is closed, after the refused edit has returned.
        QMetaObject::invokeMethod(
            grid, [grid] { grid->setFocus(); }, Qt::QueuedConnection);
    }
}

// Tab in the cell editor stores the address as Enter does, then moves on
// from the grid; an address refused keeps the keyboard in the grid, where
// the user corrects it.
void Tfmain::leaveAddressEditor(QWidget* editor, bool backward) {
    const int errorsBefore = m_addressErrors;
    QAbstractItemDelegate* delegate = DBGrid2->itemDelegate();
    emit delegate->commitData(editor);
    emit delegate->closeEditor(editor, QAbstractItemDelegate::NoHint);
    if (m_addressErrors == errorsBefore && QApplication::focusWidget() == DBGrid2) {
        focusNextPrevChild(!backward);
    }
}

void Tfmain::buildStatusBar() {
    Status = new QStatusBar(this);
    Status->setObjectName(QStringLiteral("Status"));
    Status->setSizeGripEnabled(false);
    auto* notice = new QLabel(QStringLiteral("Routen-Abgleich"), Status);
    notice->setObjectName(QStringLiteral("StatusPanel0"));
    notice->setFrameShape(QFrame::Panel);
    notice->setFrameShadow(QFrame::Sunken);
    notice->setFixedWidth(120);
    auto* second = new QLabel(Status);
    second->setObjectName(QStringLiteral("StatusPanel1"));
    second->setFrameShape(QFrame::Panel);
    second->setFrameShadow(QFrame::Sunken);
    second->setFixedWidth(50);
    Status->addWidget(notice);
    Status->addWidget(second);
    Status->setFixedHeight(kStatusHeight);
    setStatusBar(Status);
}

void Tfmain::buildMenus() {
    new MenuBarKeyboard(menuBar());
    QMenu* datei = menuBar()->addMenu(QStringLiteral("&Datei"));
    datei->setObjectName(QStringLiteral("Datei1"));
    QAction* exportAction = datei->addAction(QStringLiteral("Domain - &Export"));
    exportAction->setObjectName(QStringLiteral("DomainExport1"));
    connect(exportAction, &QAction::triggered, this, &Tfmain::DomainExport1Click);
    QAction* beenden = datei->addAction(QStringLiteral("&Beenden"));
    beenden->setObjectName(QStringLiteral("Beenden1"));
    connect(beenden, &QAction::triggered, this, &Tfmain::Beenden1Click);

    QMenu* formulare = menuBar()->addMenu(QStringLiteral("&Formulare"));
    formulare->setObjectName(QStringLiteral("Formulare1"));
    QAction* sync = formulare->addAction(QStringLiteral("&Datenbank-Sync"));
    sync->setObjectName(QStringLiteral("DatenbankSync1"));
    connect(sync, &QAction::triggered, this, &Tfmain::btsyncClick);
    QAction* dryRun = formulare->addAction(QStringLiteral("Testlauf"));
    dryRun->setObjectName(QStringLiteral("Testlauf1"));
    connect(dryRun, &QAction::triggered, this, &Tfmain::Testlauf1Click);
    QAction* refresh = formulare->addAction(QStringLiteral("&Hmail-Refresh"));
    refresh->setObjectName(QStringLiteral("HmailRefresh1"));
    connect(refresh, &QAction::triggered, this, &Tfmain::HmailRefresh1Click);
    QAction* password = formulare->addAction(QStringLiteral("HMail-Passwort"));
    password->setObjectName(QStringLiteral("HMailPasswort1"));
    connect(password, &QAction::triggered, this, &Tfmain::HMailPasswort1Click);
    QAction* separator = formulare->addSeparator();
    separator->setObjectName(QStringLiteral("N1"));
    QAction* ausnahmen = formulare->addAction(QStringLiteral("Ausnahmen"));
    ausnahmen->setObjectName(QStringLiteral("Ausnahmen1"));
    connect(ausnahmen, &QAction::triggered, this, &Tfmain::Ausnahmen1Click);

    popup = new QMenu(this);
    popup->setObjectName(QStringLiteral("popup"));
    QAction* add = popup->addAction(QStringLiteral("&Ausnahme hinzufügen"));
    add->setObjectName(QStringLiteral("Ausnahmehinzufgen1"));
    connect(add, &QAction::triggered, this, &Tfmain::Ausnahmehinzufgen1Click);
}

void Tfmain::connectControls() {
    // Keyboard order: the grids, the panel's fields, then the protocol.
    setTabOrder(Routen, DBGrid2);
    setTabOrder(DBGrid2, m_emailliste);
    setTabOrder(m_emailliste, btsync);
    setTabOrder(btsync, m_domain);
    setTabOrder(m_domain, Protokoll);
    Routen->setFocus();

    // Each grid and its dataset share one current row; an appended row of
    // the address grid that was left empty goes away when the user moves to
    // another row.
    connect(DBGrid2->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current, const QModelIndex& previous) {
                AddressDataset& Address = m_session->addressDataset();
                if (previous.isValid() && Address.isPendingRow(previous.row()) &&
                    (!current.isValid() || current.row() != previous.row())) {
                    Address.cancelPendingRow();
                }
            });
    shareCurrentRow(Routen, m_session->routesDataset());
    shareCurrentRow(DBGrid2, m_session->addressDataset());

    // A left click on a data cell of the route grid loads that route's
    // addresses; the view has made the clicked row current before.
    connect(Routen, &QTableView::clicked, this, [this](const QModelIndex& index) {
        if (index.isValid()) {
            m_session->routesDataset().setCurrentRow(index.row());
            RoutenCellClick();
        }
    });
    connect(DBGrid2, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { popup->popup(DBGrid2->viewport()->mapToGlobal(pos)); });
    connect(btoeffnen, &QToolButton::clicked, this, &Tfmain::btoeffnenClick);
    connect(SpeedButton1, &QToolButton::clicked, this, &Tfmain::DomainExport1Click);
    connect(btsync, &QPushButton::clicked, this, &Tfmain::btsyncClick);
}

void Tfmain::layoutControls() {
    // The panel across the top; the grids and the protocol side by side
    // below it, each at its own width, filling the height down to the status
    // bar. What they leave free shows the client area.
    const int width = m_client->width();
    const int gridsHeight = std::max(0, m_client->height() - kPanelHeight);
    Panel1->setGeometry(0, 0, width, kPanelHeight);
    Routen->setGeometry(0, kPanelHeight, kRoutenWidth, gridsHeight);
    DBGrid2->setGeometry(kRoutenWidth, kPanelHeight, kDBGrid2Width, gridsHeight);
    Protokoll->setGeometry(kRoutenWidth + kDBGrid2Width, kPanelHeight, kProtokollWidth,
                           gridsHeight);
}

void Tfmain::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    layoutControls();
}

// --- WindowState ---------------------------------------------------------

QString Tfmain::emailliste() const {
    return m_emailliste->text();
}
void Tfmain::setEmailliste(const QString& text) {
    m_emailliste->setText(text);
}
QString Tfmain::domain() const {
    return m_domain->text();
}
void Tfmain::setDomain(const QString& text) {
    m_domain->setText(text);
}
void Tfmain::setZaehler(const QString& caption) {
    m_zaehler->setText(caption);
}

void Tfmain::clearProtokoll() {
    m_protokoll->clear();
}
void Tfmain::addProtokollLine(const QString& line) {
    if (!m_paneUnseen) {
        m_protokoll->addLine(line);
    }
}
void Tfmain::setSyncEnabled(bool enabled) {
    if (enabled) {
        // The run's last changes are shown before Start comes back.
        m_protokoll->showPending();
    }
    btsync->setEnabled(enabled);
}

void Tfmain::runStarted() {
    m_protokoll->hold();
    m_breather->begin();
    // The run's only input: Escape stops it after the change in hand.
    Status->showMessage(QStringLiteral("Esc: Abbrechen"));
}
void Tfmain::runWorking() {
    m_breather->breathe();
}
void Tfmain::runWaiting() {
    m_breather->waiting();
}
void Tfmain::runEnded() {
    Status->clearMessage();
    m_breather->end();
    m_protokoll->release();
}
bool Tfmain::stopRequested() const {
    return m_breather->stopRequested();
}

void Tfmain::requestTermination() {
    m_terminationRequested = true;
    QCoreApplication::quit();
}
