#pragma once

#include <QString>
#include <functional>

class QFileDialog;
class QPrinter;
class QWidget;

// Options of a file dialog. The filter uses the "Description|*.ext|Description|*.ext" form.
struct FileDialogOptions
{
    QString title;
    QString filter;
    QString defaultExtension; // without the dot
    QString fileName; // proposed name
    bool confirmOverwrite = false;
};

// Every message box, file dialog and print preview goes through here, so tests can answer them.
class Prompts
{
public:
    virtual ~Prompts() = default;

    // Information box with a single OK button.
    virtual void information(QWidget *parent, const QString &text) = 0;
    // Warning box with a single Cancel button.
    virtual void warningCancel(QWidget *parent, const QString &text) = 0;
    // Yes/No question; true for Yes.
    virtual bool question(QWidget *parent, const QString &text) = 0;
    // Error box with the caption "Error".
    virtual void error(QWidget *parent, const QString &text) = 0;
    // The general error report of a handler that failed (a conversion error, for instance).
    virtual void applicationError(QWidget *parent, const QString &text) = 0;
    // A note with an OK button that nothing waits for: the window goes on (readings arrive)
    // while it is up. The same text still up is raised rather than shown twice.
    virtual void notice(QWidget *parent, const QString &text) = 0;

    // File dialogs; an empty result means the user cancelled.
    virtual QString openFile(QWidget *parent, const FileDialogOptions &options) = 0;
    // A save dialog's name comes back whole: a new name typed without an extension gets the
    // default one, and with confirmOverwrite an existing file of the final name is replaced only
    // after the user said so (No goes back to the dialog).
    QString saveFile(QWidget *parent, const FileDialogOptions &options);
    QString savePicture(QWidget *parent, const FileDialogOptions &options);

    // Print preview; paint draws the document onto the printer it is given.
    virtual void printPreview(QWidget *parent, const std::function<void(QPrinter *)> &paint) = 0;

    // The name with the default extension added when its file name has no "." at all, as
    // Qt's own dialog completes a name, and no file of that name exists yet.
    static QString withDefaultExtension(const QString &chosen, const QString &extension);
    static QString replaceQuestion(const QString &path);

protected:
    // The dialogs themselves: the name as the dialog gives it. A dialog that asks before
    // overwriting asks about the name it returns; saveFile asks about a name it completed.
    virtual QString chooseSaveName(QWidget *parent, const FileDialogOptions &options) = 0;
    virtual QString choosePictureName(QWidget *parent, const FileDialogOptions &options) = 0;

private:
    QString finalSaveName(QWidget *parent, const FileDialogOptions &options,
                          const std::function<QString(const FileDialogOptions &)> &choose);
};

// The real dialogs.
class QtPrompts : public Prompts
{
public:
    void information(QWidget *parent, const QString &text) override;
    void warningCancel(QWidget *parent, const QString &text) override;
    bool question(QWidget *parent, const QString &text) override;
    void error(QWidget *parent, const QString &text) override;
    void applicationError(QWidget *parent, const QString &text) override;
    void notice(QWidget *parent, const QString &text) override;
    QString openFile(QWidget *parent, const FileDialogOptions &options) override;
    void printPreview(QWidget *parent, const std::function<void(QPrinter *)> &paint) override;

    // "Text (*.txt)|*.txt|All (*.*)|*.*" in the form Qt's dialogs take.
    static QString qtFilter(const QString &filter);

    // A save dialog by the options. Its default extension follows the filter the user selects
    // ("csv" for "CSV File (*.csv)"), so a name typed without one gets that filter's, and the
    // question before overwriting asks about the file that will be written.
    static void prepareSaveDialog(QFileDialog &dialog, const FileDialogOptions &options);
    // The file a save dialog's answer names: a name without a dot gets the selected filter's
    // extension, or the default extension when that filter names none. Native dialogs may
    // leave the extension to the program.
    static QString savedName(const QString &chosen, const QString &selectedFilter,
                             const FileDialogOptions &options);

protected:
    QString chooseSaveName(QWidget *parent, const FileDialogOptions &options) override;
    QString choosePictureName(QWidget *parent, const FileDialogOptions &options) override;
};
