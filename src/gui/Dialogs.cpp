#include "gui/Dialogs.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

namespace {
const QString kCaption = QStringLiteral("Tarvelo");
} // namespace

DesktopDialogs::DesktopDialogs() = default;
DesktopDialogs::~DesktopDialogs() = default;

std::optional<QString> DesktopDialogs::openListFile(QWidget* parent) {
    QFileDialog dialog(parent);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    // A name that does not exist yet is accepted as typed.
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(QStringLiteral("txt"));
    dialog.setNameFilters({QStringLiteral("Textdateien (*.txt)"), QStringLiteral("alle Dateien  (*)")});
    if (!m_lastOpenDirectory.isEmpty()) {
        dialog.setDirectory(m_lastOpenDirectory);
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    const QString chosen = QFileInfo(dialog.selectedFiles().constFirst()).absoluteFilePath();
    m_lastOpenDirectory = QFileInfo(chosen).path();
    return chosen;
}

std::optional<QString> DesktopDialogs::saveExportFile(QWidget* parent, const QString& proposed) {
    QFileDialog dialog(parent);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("txt"));
    dialog.setNameFilters({QStringLiteral("Textdateien (*.txt)")});
    // The export overwrites an existing file without asking.
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    dialog.selectFile(proposed);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return dialog.selectedFiles().constFirst();
}

std::optional<QString> DesktopDialogs::inputBox(QWidget* parent, const QString& caption,
                                                const QString& prompt, const QString& text) {
    QInputDialog dialog(parent);
    dialog.setWindowTitle(caption);
    dialog.setLabelText(prompt);
    dialog.setInputMode(QInputDialog::TextInput);
    dialog.setTextValue(text);
    dialog.setOkButtonText(QStringLiteral("OK"));
    dialog.setCancelButtonText(QStringLiteral("Abbrechen"));
    if (auto* edit = dialog.findChild<QLineEdit*>()) {
        edit->setMaxLength(255);
    }
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    return dialog.textValue();
}

bool DesktopDialogs::confirm(QWidget* parent, const QString& question) {
    QMessageBox box(QMessageBox::Question, kCaption, question, QMessageBox::NoButton, parent);
    QPushButton* yes = box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    box.addButton(QStringLiteral("Abbrechen"), QMessageBox::RejectRole);
    box.exec();
    return box.clickedButton() == yes;
}

void DesktopDialogs::message(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::Critical, kCaption, text, QMessageBox::Ok, parent);
    box.exec();
}
