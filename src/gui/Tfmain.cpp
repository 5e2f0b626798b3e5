#include "gui/Tfmain.h"

#include "core/Mtools.h"
#include "db/AddressModel.h"
#include "db/RoutesModel.h"
#include "gui/Dialogs.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QStyle>
#include <QTableView>
#include <QTextBlock>
#include <QToolButton>

Tfmain* fmain = nullptr;

namespace {
constexpr int kClientWidth = 771;
constexpr int kPanelHeight = 56;
constexpr int kGridsHeight = 451;
constexpr int kStatusHeight = 19;
} // namespace

Tfmain::Tfmain(const AppPaths& paths, const Clock& clock, Dialogs& dialogs,
               ErrorReporter& reporter, QStringList parameters, QWidget* parent)
    : QMainWindow(parent), m_dialogs(dialogs), m_reporter(reporter),
      m_parameters(std::move(parameters)) {
    setObjectName(QStringLiteral("fmain"));
    m_session = std::make_unique<MainSession>(paths, clock, *this);
    m_reporter.setLog(&m_session->log());
    buildControls();
    buildMenus();
    fmain = this;
    FormCreate();
}

Tfmain::~Tfmain() {
    m_reporter.setLog(nullptr);
    if (fmain == this) {
        fmain = nullptr;
    }
}

void Tfmain::guard(const std::function<void()>& handler) { m_reporter.guard(handler); }

void Tfmain::buildControls() {
    setWindowTitle(QStringLiteral("Tarvelo"));
    QFont font(QStringLiteral("Sans Serif"), 8);
    font.setStyleHint(QFont::SansSerif);
    setFont(font);

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
    QPalette panelPalette = Panel1->palette();
    panelPalette.setColor(QPalette::Window, panelPalette.color(QPalette::Button));
    Panel1->setPalette(panelPalette);

    btoeffnen = new QToolButton(Panel1);
    btoeffnen->setObjectName(QStringLiteral("btoeffnen"));
    btoeffnen->setAutoRaise(true);
    btoeffnen->setIcon(style()->standardIcon(QStyle::SP_DirOpenIcon));
    btoeffnen->setIconSize(QSize(16, 16));
    btoeffnen->setGeometry(5, 3, 23, 22);
    btoeffnen->setFocusPolicy(Qt::NoFocus);

    SpeedButton1 = new QToolButton(Panel1);
    SpeedButton1->setObjectName(QStringLiteral("SpeedButton1"));
    SpeedButton1->setAutoRaise(true);
    SpeedButton1->setIcon(style()->standardIcon(QStyle::SP_DialogSaveButton));
    SpeedButton1->setIconSize(QSize(18, 18));
    SpeedButton1->setGeometry(5, 26, 23, 22);
    SpeedButton1->setFocusPolicy(Qt::NoFocus);

    m_emailliste = new QLineEdit(Panel1);
    m_emailliste->setObjectName(QStringLiteral("emailliste"));
    m_emailliste->setGeometry(35, 5, 256, 21);

    m_zaehler = new QLabel(QStringLiteral("..."), Panel1);
    m_zaehler->setObjectName(QStringLiteral("zaehler"));
    m_zaehler->move(40, 30);
    m_zaehler->resize(250, 16);

    btsync = new QPushButton(QStringLiteral("Start"), Panel1);
    btsync->setObjectName(QStringLiteral("btsync"));
    btsync->setGeometry(300, 5, 75, 25);

    Label1 = new QLabel(QStringLiteral("Domain"), Panel1);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->move(385, 10);
    Label1->adjustSize();

    m_domain = new QLineEdit(Panel1);
    m_domain->setObjectName(QStringLiteral("Domain"));
    m_domain->setGeometry(430, 5, 221, 21);

    m_liste = new QListWidget(Panel1);
    m_liste->setObjectName(QStringLiteral("Liste"));
    m_liste->setGeometry(655, 10, 101, 26);
    m_liste->setVisible(false);

    Routen = new QTableView(m_client);
    Routen->setObjectName(QStringLiteral("Routen"));
    m_routesModel = new RoutesModel(m_session->routes, Routen);
    Routen->setModel(m_routesModel);
    Routen->setShowGrid(false);
    Routen->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Routen->setSelectionBehavior(QAbstractItemView::SelectRows);
    Routen->setSelectionMode(QAbstractItemView::SingleSelection);
    Routen->setTabKeyNavigation(true);
    Routen->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    Routen->setColumnWidth(0, 150);
    Routen->verticalHeader()->setDefaultSectionSize(18);
    Routen->installEventFilter(this);

    DBGrid2 = new QTableView(m_client);
    DBGrid2->setObjectName(QStringLiteral("DBGrid2"));
    m_addressModel = new AddressModel(m_session->Address, DBGrid2);
    m_addressModel->setErrorSink([this](const QString& message) { m_reporter.report(message); });
    DBGrid2->setModel(m_addressModel);
    DBGrid2->setShowGrid(true);
    DBGrid2->setSelectionBehavior(QAbstractItemView::SelectRows);
    DBGrid2->setSelectionMode(QAbstractItemView::SingleSelection);
    DBGrid2->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                             QAbstractItemView::AnyKeyPressed);
    DBGrid2->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    DBGrid2->setColumnWidth(0, 262);
    DBGrid2->verticalHeader()->setDefaultSectionSize(18);
    DBGrid2->setContextMenuPolicy(Qt::CustomContextMenu);
    DBGrid2->installEventFilter(this);

    Protokoll = new QPlainTextEdit(m_client);
    Protokoll->setObjectName(QStringLiteral("Protokoll"));
    Protokoll->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    Protokoll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Protokoll->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

    auto* status = new QStatusBar(this);
    status->setObjectName(QStringLiteral("Status"));
    status->setSizeGripEnabled(false);
    auto* notice = new QLabel(QStringLiteral("Tarvelo: Routen-Abgleich"), status);
    notice->setObjectName(QStringLiteral("StatusPanel0"));
    notice->setFixedWidth(120);
    auto* second = new QLabel(status);
    second->setObjectName(QStringLiteral("StatusPanel1"));
    second->setFixedWidth(50);
    status->addWidget(notice);
    status->addWidget(second);
    status->setFixedHeight(kStatusHeight);
    setStatusBar(status);

    // Keyboard order: the grids, the panel's fields, then the protocol.
    setTabOrder(Routen, DBGrid2);
    setTabOrder(DBGrid2, m_emailliste);
    setTabOrder(m_emailliste, btsync);
    setTabOrder(btsync, m_domain);
    setTabOrder(m_domain, Protokoll);

    // Keep the dataset's current row and the grid's in step.
    connect(Routen->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                if (current.isValid() && current.row() != m_session->routes.currentRow()) {
                    m_session->routes.setCurrentRow(current.row());
                }
            });
    connect(&m_session->routes, &RoutesDataset::currentRowChanged, this, [this](int row) {
        if (row >= 0 && row < m_routesModel->rowCount()) {
            Routen->setCurrentIndex(m_routesModel->index(row, 0));
        }
    });
    connect(DBGrid2->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                if (current.isValid()) {
                    m_session->Address.setCurrentRow(current.row());
                }
            });
    // Only a left click on a data cell loads the route's addresses.
    connect(Routen, &QTableView::clicked, this, [this](const QModelIndex& index) {
        if (index.isValid() && (QApplication::mouseButtons() & Qt::RightButton) == 0) {
            m_session->routes.setCurrentRow(index.row());
            RoutenCellClick();
        }
    });
    connect(btoeffnen, &QToolButton::clicked, this, &Tfmain::btoeffnenClick);
    connect(SpeedButton1, &QToolButton::clicked, this, &Tfmain::DomainExport1Click);
    connect(btsync, &QPushButton::clicked, this, &Tfmain::btsyncClick);

    const QSize client(kClientWidth, kPanelHeight + kGridsHeight);
    resize(client.width(), client.height() + kStatusHeight);
}

void Tfmain::buildMenus() {
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
    connect(DBGrid2, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { popup->popup(DBGrid2->viewport()->mapToGlobal(pos)); });
}

void Tfmain::layoutControls() {
    const int width = m_client->width();
    const int height = m_client->height();
    Panel1->setGeometry(0, 0, width, kPanelHeight);
    const int gridsHeight = std::max(0, height - kPanelHeight);
    Routen->setGeometry(0, kPanelHeight, 191, gridsHeight);
    DBGrid2->setGeometry(191, kPanelHeight, 295, gridsHeight);
    Protokoll->setGeometry(191 + 295, kPanelHeight, 275, gridsHeight);
}

void Tfmain::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    layoutControls();
}

bool Tfmain::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && (watched == Routen || watched == DBGrid2)) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Delete && (key->modifiers() & Qt::ControlModifier)) {
            deleteCurrentRow(static_cast<QTableView*>(watched));
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void Tfmain::deleteCurrentRow(QTableView* grid) {
    const QModelIndex current = grid->currentIndex();
    if (!current.isValid() || !m_dialogs.confirm(this, QStringLiteral("Datensatz löschen?"))) {
        return;
    }
    guard([&] {
        if (grid == Routen) {
            m_session->routes.setCurrentRow(current.row());
            m_session->routes.deleteCurrent();
        } else {
            m_session->Address.deleteRow(current.row());
        }
    });
}

// --- WindowState ---------------------------------------------------------

QString Tfmain::emailliste() const { return m_emailliste->text(); }
void Tfmain::setEmailliste(const QString& text) { m_emailliste->setText(text); }
QString Tfmain::domain() const { return m_domain->text(); }
void Tfmain::setDomain(const QString& text) { m_domain->setText(text); }
QString Tfmain::zaehler() const { return m_zaehler->text(); }
void Tfmain::setZaehler(const QString& caption) { m_zaehler->setText(caption); }

QStringList Tfmain::protokollLines() const {
    QStringList lines;
    for (QTextBlock block = Protokoll->document()->begin(); block.isValid(); block = block.next()) {
        lines.append(block.text());
    }
    if (lines.size() == 1 && lines.constFirst().isEmpty()) {
        lines.clear();
    }
    return lines;
}

int Tfmain::protokollLineCount() const {
    const int blocks = Protokoll->document()->blockCount();
    return (blocks == 1 && Protokoll->document()->isEmpty()) ? 0 : blocks;
}

void Tfmain::clearProtokoll() { Protokoll->clear(); }
void Tfmain::addProtokollLine(const QString& line) { Protokoll->appendPlainText(line); }
void Tfmain::setSyncEnabled(bool enabled) { btsync->setEnabled(enabled); }
bool Tfmain::syncEnabled() const { return btsync->isEnabled(); }

void Tfmain::requestTermination() {
    m_terminationRequested = true;
    QCoreApplication::quit();
}

// --- Handlers --------------------------------------------------------------

void Tfmain::FormCreate() {
    guard([this] { m_session->FormCreate(); });
}

void Tfmain::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    layoutControls();
    if (!m_formShown) {
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

void Tfmain::Beenden1Click() { close(); }

void Tfmain::btoeffnenClick() {
    guard([this] {
        if (const auto chosen = m_dialogs.openListFile(this)) {
            setEmailliste(*chosen);
        }
    });
}

void Tfmain::btsyncClick() {
    guard([this] { m_session->btsyncClick(); });
}

void Tfmain::RoutenCellClick() {
    guard([this] { m_session->RoutenCellClick(); });
}

void Tfmain::HmailRefresh1Click() {
    guard([this] { m_session->HmailRefresh1Click(); });
}

void Tfmain::HMailPasswort1Click() {
    guard([this] {
        if (const auto entered =
                m_dialogs.inputBox(this, QStringLiteral("Hmail Admin"), QStringLiteral("Passwort"),
                                   QString())) {
            m_session->storeAdminPassword(*entered);
        }
    });
}

void Tfmain::DomainExport1Click() {
    guard([this] {
        if (const auto chosen = m_dialogs.saveExportFile(this, m_session->exportProposal())) {
            m_session->DomainExport(*chosen);
        }
    });
}

void Tfmain::Ausnahmen1Click() {
    guard([this] { Mtools::OpenDocument(m_session->paths().exceptionFile); });
}

void Tfmain::Ausnahmehinzufgen1Click() {
    guard([this] {
        if (const auto entered =
                m_dialogs.inputBox(this, QStringLiteral("Ausnahme hinzufügen"),
                                   QStringLiteral("Ausnahme"), m_session->exceptionPrefill())) {
            m_session->addException(*entered);
        }
    });
}
