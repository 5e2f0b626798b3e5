#include "QStringPrinter.h"
#include "gui/ApplicationIdentity.h"
#include "gui/Dialogs.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

namespace {

// Acts on the dialog of the given kind as soon as it is shown (from inside
// its modal loop); a dialog that never shows fails the test, and so does one
// that the act did not close (it is closed then, so the test goes on).
template <typename Dialog> void whenShown(std::function<void(Dialog*)> act) {
    auto* timer = new QTimer;
    auto attempts = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, act, attempts] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            auto* dialog = qobject_cast<Dialog*>(widget);
            if (dialog != nullptr && dialog->isVisible()) {
                timer->stop();
                timer->deleteLater();
                act(dialog);
                QTimer::singleShot(5000, [open = QPointer<Dialog>(dialog)] {
                    if (open && open->isVisible()) {
                        ADD_FAILURE() << "the dialog stayed open";
                        open->reject();
                    }
                });
                return;
            }
        }
        if (++*attempts > 500) {
            timer->stop();
            timer->deleteLater();
            ADD_FAILURE() << "the dialog did not show";
        }
    });
    timer->start(10);
}

QPushButton* buttonWithText(QWidget* dialog, const QString& text) {
    for (QPushButton* button : dialog->findChildren<QPushButton*>()) {
        if (button->text() == text && button->isVisible()) {
            return button;
        }
    }
    return nullptr;
}

// The file name typed into a file dialog. (Its selectFile() leaves the name
// field alone while that has the keyboard focus.)
void typeFileName(QFileDialog* dialog, const QString& name) {
    auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    ASSERT_NE(edit, nullptr);
    edit->setText(name);
}

QStringList buttonTexts(QWidget* dialog) {
    QStringList texts;
    for (const QPushButton* button : dialog->findChildren<QPushButton*>()) {
        if (button->isVisible()) {
            texts.append(button->text());
        }
    }
    texts.sort();
    return texts;
}

} // namespace

TEST(DesktopDialogsTest, InputBoxShowsCaptionPromptAndTakesAtMost255Characters) {
    DesktopDialogs dialogs;
    whenShown<QInputDialog>([](QInputDialog* box) {
        EXPECT_EQ(box->windowTitle(), "Hmail Admin");
        EXPECT_EQ(box->labelText(), "Passwort");
        EXPECT_EQ(buttonTexts(box), QStringList({"Abbrechen", "OK"}));
        auto* edit = box->findChild<QLineEdit*>();
        ASSERT_NE(edit, nullptr);
        EXPECT_EQ(edit->echoMode(), QLineEdit::Normal);
        EXPECT_EQ(edit->text(), "");
        QTest::keyClicks(edit, QString(300, QChar(u'p')));
        EXPECT_EQ(edit->text().size(), 255);
        QTest::mouseClick(buttonWithText(box, "OK"), Qt::LeftButton);
    });
    EXPECT_EQ(dialogs.inputBox(nullptr, "Hmail Admin", "Passwort", QString()),
              QString(255, QChar(u'p')));

    whenShown<QInputDialog>([](QInputDialog* box) {
        QTest::keyClicks(box->findChild<QLineEdit*>(), "geheim");
        QTest::mouseClick(buttonWithText(box, "Abbrechen"), Qt::LeftButton);
    });
    EXPECT_EQ(dialogs.inputBox(nullptr, "Hmail Admin", "Passwort", QString()), std::nullopt);
}

TEST(DesktopDialogsTest, InputBoxKeepsALongPrefillWhole) {
    DesktopDialogs dialogs;
    const QString prefill = QStringLiteral(">") + QString(255, QChar(u'a'));
    whenShown<QInputDialog>([&prefill](QInputDialog* box) {
        EXPECT_EQ(box->windowTitle(), "Ausnahme hinzufügen");
        EXPECT_EQ(box->findChild<QLineEdit*>()->text(), prefill);
        QTest::mouseClick(buttonWithText(box, "OK"), Qt::LeftButton);
    });
    EXPECT_EQ(dialogs.inputBox(nullptr, "Ausnahme hinzufügen", "Ausnahme", prefill), prefill);
}

TEST(DesktopDialogsTest, OpenDialogAcceptsANewNameAndStartsFromItsLastChoice) {
    QTemporaryDir dir;
    DesktopDialogs dialogs;
    whenShown<QFileDialog>([&dir](QFileDialog* dialog) {
        EXPECT_EQ(dialog->objectName(), "open");
        EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptOpen);
        EXPECT_EQ(dialog->fileMode(), QFileDialog::AnyFile);
        EXPECT_EQ(dialog->defaultSuffix(), "txt");
        EXPECT_EQ(dialog->nameFilters(), QStringList({"Textdateien (*.txt)", "alle Dateien (*)"}));
        EXPECT_TRUE(dialog->testOption(QFileDialog::HideNameFilterDetails));
        dialog->setDirectory(dir.path());
        typeFileName(dialog, QStringLiteral("neue-liste"));
        static_cast<QDialog*>(dialog)->accept();
    });
    const QString chosen = dir.filePath("neue-liste.txt");
    EXPECT_EQ(dialogs.openListFile(nullptr), chosen);
    EXPECT_FALSE(QFile::exists(chosen));

    whenShown<QFileDialog>([&chosen](QFileDialog* dialog) {
        EXPECT_EQ(dialog->selectedFiles(), QStringList({chosen}));
        dialog->reject();
    });
    EXPECT_EQ(dialogs.openListFile(nullptr), std::nullopt);
}

TEST(DesktopDialogsTest, SaveDialogProposesTheNameAndOverwritesWithoutAsking) {
    QTemporaryDir dir;
    const QString existing = dir.filePath("example.com.txt");
    QFile file(existing);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    DesktopDialogs dialogs;
    whenShown<QFileDialog>([&dir](QFileDialog* dialog) {
        EXPECT_EQ(dialog->objectName(), "Save");
        EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptSave);
        EXPECT_EQ(dialog->defaultSuffix(), "txt");
        EXPECT_EQ(dialog->nameFilters(), QStringList({"Textdateien (*.txt)"}));
        EXPECT_TRUE(dialog->testOption(QFileDialog::DontConfirmOverwrite));
        ASSERT_FALSE(dialog->selectedFiles().isEmpty());
        EXPECT_TRUE(dialog->selectedFiles().constFirst().endsWith("/example.com.txt"));
        dialog->setDirectory(dir.path());
        typeFileName(dialog, QStringLiteral("example.com.txt"));
        static_cast<QDialog*>(dialog)->accept();
    });
    EXPECT_EQ(dialogs.saveExportFile(nullptr, "example.com.txt"), existing);
}

TEST(DesktopDialogsTest, ConfirmationAndMessageCarryTheProgramsCaption) {
    DesktopDialogs dialogs;
    whenShown<QMessageBox>([](QMessageBox* box) {
        EXPECT_EQ(box->windowTitle(), "Tarvelo");
        EXPECT_EQ(box->text(), "Datensatz löschen?");
        EXPECT_EQ(buttonTexts(box), QStringList({"Abbrechen", "OK"}));
        QTest::mouseClick(buttonWithText(box, "OK"), Qt::LeftButton);
    });
    EXPECT_TRUE(dialogs.confirm(nullptr, "Datensatz löschen?"));
    whenShown<QMessageBox>([](QMessageBox* box) {
        QTest::mouseClick(buttonWithText(box, "Abbrechen"), Qt::LeftButton);
    });
    EXPECT_FALSE(dialogs.confirm(nullptr, "Datensatz löschen?"));

    whenShown<QMessageBox>([](QMessageBox* box) {
        EXPECT_EQ(box->windowTitle(), "Tarvelo");
        EXPECT_EQ(box->text(), "Datei nicht gefunden");
        EXPECT_EQ(box->icon(), QMessageBox::Critical);
        box->accept();
    });
    dialogs.message(nullptr, "Datei nicht gefunden");
}

TEST(DesktopDialogsTest, InputBoxStandsInTheMiddleOfTheScreenWideEnoughForItsCaption) {
    // The main window far from the middle of the screen.
    QWidget main;
    main.setWindowTitle(QStringLiteral("Tarvelo"));
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    main.setGeometry(area.x() + 10, area.y() + 10, 320, 200);
    main.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&main));
    DesktopDialogs dialogs;
    for (const QString& caption :
         {QStringLiteral("Hmail Admin"), QStringLiteral("Ausnahme hinzufügen")}) {
        whenShown<QInputDialog>([&caption, &main](QInputDialog* box) {
            EXPECT_EQ(box->windowTitle(), caption);
            const QRect screen = box->screen()->availableGeometry();
            const QPoint offset = box->frameGeometry().center() - screen.center();
            EXPECT_LE(std::abs(offset.x()), 1) << offset.x();
            EXPECT_LE(std::abs(offset.y()), 1) << offset.y();
            EXPECT_FALSE(box->frameGeometry().intersects(main.frameGeometry()));
            // The caption whole in the title bar: in a title font half again
            // as wide as the box's, beside three buttons of 32 pixels.
            const int captionNeeds =
                QFontMetrics(box->font()).horizontalAdvance(caption) * 3 / 2 + 3 * 32;
            EXPECT_GE(box->width(), captionNeeds);
            box->reject();
        });
        EXPECT_EQ(dialogs.inputBox(&main, caption, QStringLiteral("Passwort"), QString()),
                  std::nullopt);
    }
}

TEST(DesktopDialogsTest, ThePlatformAppendsTheApplicationsNameToNoWindowTitle) {
    ApplicationIdentity::apply();
    EXPECT_EQ(QCoreApplication::applicationName(), "Tarvelo");
    // The platform appends a display name to every window title, but only
    // one that was set; unset, it follows the application's name.
    QCoreApplication::setApplicationName(QStringLiteral("probe"));
    EXPECT_EQ(QGuiApplication::applicationDisplayName(), "probe");
    ApplicationIdentity::apply();
    EXPECT_EQ(QGuiApplication::applicationDisplayName(), "Tarvelo");
}

#ifndef Q_OS_WIN
// What xdg-open answers after it took the file, and what the window is told.
TEST(DesktopDialogsTest, AnXdgOpenThatFindsNoProgramSaysWhyLater) {
    const struct {
        int exitCode;
        QString reason;
    } cases[] = {
        {0, QString()},
        {2, QStringLiteral("xdg-open endete mit Status 2")},
        {3, QStringLiteral("kein Programm zum Öffnen von Textdateien eingerichtet (xdg-open: "
                           "Status 3)")},
        {4, QStringLiteral("kein Programm zum Öffnen von Textdateien eingerichtet (xdg-open: "
                           "Status 4)")},
    };
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString file = dir.filePath(QStringLiteral("ausnahmen.txt"));
    const QString handed = dir.filePath(QStringLiteral("handed"));
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(dir.path()) + ':' + path);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.exitCode);
        QFile launcher(dir.filePath(QStringLiteral("xdg-open")));
        ASSERT_TRUE(launcher.open(QIODevice::WriteOnly | QIODevice::Truncate));
        launcher.write(QStringLiteral("#!/bin/sh\nprintf '%s' \"$1\" > '%1'\nexit %2\n")
                           .arg(handed)
                           .arg(c.exitCode)
                           .toUtf8());
        launcher.close();
        launcher.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QFile::remove(handed);
        DesktopDialogs dialogs;
        int calls = 0;
        QString reason;
        EXPECT_TRUE(dialogs.openDocument(file, [&](const QString& why) {
            ++calls;
            reason = why;
        }));
        if (c.reason.isEmpty()) {
            ASSERT_TRUE(QTest::qWaitFor([&] { return QFile::exists(handed); }, 10000));
            QTest::qWait(300);
            EXPECT_EQ(calls, 0);
        } else {
            ASSERT_TRUE(QTest::qWaitFor([&] { return calls > 0; }, 10000));
            EXPECT_EQ(calls, 1);
            EXPECT_EQ(reason, c.reason);
        }
        QFile given(handed);
        ASSERT_TRUE(given.open(QIODevice::ReadOnly));
        EXPECT_EQ(QString::fromUtf8(given.readAll()), file);
    }
    qputenv("PATH", path);
}
#endif
