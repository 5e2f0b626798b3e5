#pragma once

#include <QString>

#include <functional>
#include <optional>

class QWidget;

// The window's modal questions: file dialogs, input box, confirmations and
// the message box; and the desktop's "open" for a file. Tests replace them
// with answers given in advance.
class Dialogs {
public:
    virtual ~Dialogs() = default;
    // `open`: the list file picker; nullopt when cancelled.
    virtual std::optional<QString> openListFile(QWidget* parent) = 0;
    // `Save`: the export file, preset with a proposed name; nullopt when cancelled.
    virtual std::optional<QString> saveExportFile(QWidget* parent, const QString& proposed) = 0;
    // A one-line input box (255 characters, "OK"/"Abbrechen"); nullopt when cancelled.
    virtual std::optional<QString> inputBox(QWidget* parent, const QString& caption,
                                            const QString& prompt, const QString& text) = 0;
    virtual bool confirm(QWidget* parent, const QString& question) = 0;
    virtual void message(QWidget* parent, const QString& text) = 0;
    // Hands a file to the program the desktop opens it with; whether the
    // desktop took it. A launcher that takes the file and then finds no
    // program for it says why through `failed`, later.
    virtual bool openDocument(const QString& fileName,
                              const std::function<void(const QString& reason)>& failed) = 0;
};

// The real dialogs of the desktop.
class DesktopDialogs : public Dialogs {
public:
    DesktopDialogs();
    ~DesktopDialogs() override;
    std::optional<QString> openListFile(QWidget* parent) override;
    std::optional<QString> saveExportFile(QWidget* parent, const QString& proposed) override;
    std::optional<QString> inputBox(QWidget* parent, const QString& caption, const QString& prompt,
                                    const QString& text) override;
    bool confirm(QWidget* parent, const QString& question) override;
    void message(QWidget* parent, const QString& text) override;
    bool openDocument(const QString& fileName,
                      const std::function<void(const QString& reason)>& failed) override;

private:
    QString m_lastOpenFile; // the picker starts from its own last choice
};
