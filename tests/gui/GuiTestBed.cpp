#include "GuiTestBed.h"

#include "TestDatabases.h"
#include "core/Mtools.h"
#include "platform/Ansi.h"
#include "platform/LineBreaks.h"
#include "platform/ProfileFile.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTimer>

namespace {

std::optional<QString> takeAnswer(std::deque<std::optional<QString>>& answers, const char* what) {
    std::optional<QString> answer;
    if (answers.empty()) {
        ADD_FAILURE() << "unexpected question: " << what;
    } else {
        answer.swap(answers.front());
        answers.pop_front();
    }
    return answer;
}

} // namespace

PaintCounter::PaintCounter(QWidget* widget) : QObject(widget) {
    widget->installEventFilter(this);
}

bool PaintCounter::eventFilter(QObject*, QEvent* event) {
    paints += event->type() == QEvent::Paint ? 1 : 0;
    return false;
}

void postClick(QWidget* widget, std::optional<QPoint> at) {
    const QPointF point = at ? QPointF(*at) : QRectF(widget->rect()).center();
    const QPointF global = widget->mapToGlobal(point);
    QCoreApplication::postEvent(widget,
                                new QMouseEvent(QEvent::MouseButtonPress, point, global,
                                                Qt::LeftButton, Qt::LeftButton, Qt::NoModifier));
    QCoreApplication::postEvent(widget,
                                new QMouseEvent(QEvent::MouseButtonRelease, point, global,
                                                Qt::LeftButton, Qt::NoButton, Qt::NoModifier));
}

void postKey(QWidget* widget, Qt::Key key, const QString& text, Qt::KeyboardModifiers modifiers) {
    QCoreApplication::postEvent(widget, new QKeyEvent(QEvent::KeyPress, key, modifiers, text));
    QCoreApplication::postEvent(widget, new QKeyEvent(QEvent::KeyRelease, key, modifiers, text));
}

int countEnding(const QStringList& lines, const QString& end) {
    int count = 0;
    for (const QString& line : lines) {
        count += line.endsWith(end) ? 1 : 0;
    }
    return count;
}

std::optional<QString> ScriptedDialogs::openListFile(QWidget*) {
    ++openCalls;
    return takeAnswer(openAnswers, "open");
}

std::optional<QString> ScriptedDialogs::saveExportFile(QWidget*, const QString& proposed) {
    saveProposals.append(proposed);
    return takeAnswer(saveAnswers, "Save");
}

std::optional<QString> ScriptedDialogs::inputBox(QWidget*, const QString& caption,
                                                 const QString& prompt, const QString& text) {
    inputs.append({caption, prompt, text});
    return takeAnswer(inputAnswers, "input box");
}

bool ScriptedDialogs::confirm(QWidget*, const QString& question) {
    questions.append(question);
    if (confirmAnswers.empty()) {
        ADD_FAILURE() << "unexpected question: " << question.toStdString();
        return false;
    }
    const bool answer = confirmAnswers.front();
    confirmAnswers.pop_front();
    return answer;
}

void ScriptedDialogs::message(QWidget*, const QString&) {
    ADD_FAILURE() << "the window shows errors through its error reporter";
}

bool ScriptedDialogs::openDocument(const QString& fileName,
                                   const std::function<void(const QString& reason)>& failed) {
    openedDocuments.append(fileName);
    if (desktopOpens && !desktopFailsLater.isEmpty()) {
        QTimer::singleShot(0, [failed, reason = desktopFailsLater] { failed(reason); });
    }
    return desktopOpens;
}

GuiTestBed::GuiTestBed()
    : paths(AppPaths::forExecutable(dir.filePath(QStringLiteral("tarvelo")))),
      listFile(dir.filePath(QStringLiteral("adressen.txt"))),
      clock(QDateTime(QDate(2026, 3, 4), QTime(5, 6, 7))),
      reporter([this](const QString& message) { showMessage(message); }) {
    connection = createSqliteDatabase(dir.filePath(QStringLiteral("hmailserver.db")), true);
    QDir(dir.path()).mkdir(QStringLiteral("protokolle"));
    ProfileFile::writeString(paths.iniFile, "SQL", "Provider", connection);
    ProfileFile::writeString(paths.iniFile, "Hmail", "admin", Mtools::ScrambleText("alt-geheim"));
    ProfileFile::writeString(paths.iniFile, "ad", "emails", listFile);
    ProfileFile::writeString(paths.iniFile, "Options", "Protokoll",
                             dir.filePath(QStringLiteral("protokolle/")));
    writeFile(listFile, "alice@example.com\r\nneu@example.org\r\nfrank@sub.example.com\r\n");
    writeFile(paths.exceptionFile, "zeta\r\n>info@\r\nbeta\r\n");
}

void GuiTestBed::showMessage(const QString& message) {
    messages.append(message);
    if (modalMessages) {
        QMessageBox box(QMessageBox::Critical, QStringLiteral("Tarvelo"), message, QMessageBox::Ok,
                        m_window.get());
        QTimer::singleShot(100, &box, [&box] { QTest::keyClick(&box, Qt::Key_Return); });
        box.exec();
    }
}

GuiTestBed::~GuiTestBed() {
    dropWindow();
}

Tfmain& GuiTestBed::createWindow(const QStringList& parameters) {
    dropWindow();
    m_window = std::make_unique<Tfmain>(paths, clock, dialogs, reporter, parameters, waits);
    return *m_window;
}

Tfmain& GuiTestBed::openWindow(const QStringList& parameters) {
    createWindow(parameters);
    m_window->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(m_window.get()));
    return *m_window;
}

void GuiTestBed::dropWindow() {
    m_window.reset();
}

QTableView* GuiTestBed::Routen() {
    return control<QTableView>(QStringLiteral("Routen"));
}
QTableView* GuiTestBed::DBGrid2() {
    return control<QTableView>(QStringLiteral("DBGrid2"));
}
RunBreather& GuiTestBed::breather() {
    return *m_window->findChild<RunBreather*>();
}
QString GuiTestBed::zaehler() {
    return control<QLabel>(QStringLiteral("zaehler"))->text();
}
bool GuiTestBed::syncEnabled() {
    return control<QPushButton>(QStringLiteral("btsync"))->isEnabled();
}
QAction* GuiTestBed::action(const QString& name) {
    return control<QAction>(name);
}

void GuiTestBed::clickCell(QTableView* grid, int row, Qt::MouseButton button) {
    const QRect cell = grid->visualRect(grid->model()->index(row, 0));
    ASSERT_TRUE(cell.isValid()) << "row " << row << " is not shown";
    QTest::mouseClick(grid->viewport(), button, Qt::NoModifier, cell.center());
}

QStringList GuiTestBed::shownTexts(const QTableView* grid) {
    QStringList texts;
    const QAbstractItemModel* model = grid->model();
    for (int row = 0; row < model->rowCount(); ++row) {
        texts.append(model->index(row, 0).data().toString());
    }
    return texts;
}

QStringList GuiTestBed::shownAddresses() {
    return shownTexts(DBGrid2());
}

QList<QPair<qint64, QString>> GuiTestBed::tableRows() const {
    return routeAddressRows(connection);
}

QStringList GuiTestBed::addressesOfRoute(int routeId) const {
    QStringList addresses;
    for (const auto& row : tableRows()) {
        if (row.first == routeId) {
            addresses.append(row.second);
        }
    }
    return addresses;
}

QStringList GuiTestBed::logLines() const {
    return LineBreaks::split(Ansi::decode(fileBytes(paths.logFile)));
}

QString GuiTestBed::iniText() const {
    return Ansi::decode(fileBytes(paths.iniFile));
}

QByteArray GuiTestBed::fileBytes(const QString& path) const {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return file.readAll();
}

void GuiTestBed::writeFile(const QString& path, const QByteArray& bytes) const {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}
