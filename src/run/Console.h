#pragma once
// The one seam between the phases and whatever shows them to a person.
//
// Phases never touch widgets: they report through the program-wide Console. The main window
// implements it; HeadlessConsole implements it for running without a display and for tests.
// Every call is made on the one thread that runs the program.

#include <QString>

namespace lumaro::run {

// None: a plain box (no icon). An empty caption means the program's default caption.
enum class BoxIcon { None, Information, Exclamation, Critical };

class Console {
public:
    virtual ~Console() = default;

    // StatusBar1: panel 1 holds the state word, panel 2 the last time-stamped event.
    virtual void setStatePanel(const QString& text) = 0;
    virtual void setEventPanel(const QString& text) = 0;
    // lblProceso: the step in progress. A colour of -1 keeps the current one (0x0000FF is blue).
    virtual void setStep(const QString& text, int rgb = -1) = 0;
    // List1: problem and progress lines of the current run.
    virtual void addProblem(const QString& line) = 0;
    virtual void clearProblems() = 0;
    // List2: files found for upload.
    virtual void addFile(const QString& name) = 0;
    virtual void clearFiles() = 0;
    // pgEstado: merge progress.
    virtual void setProgress(int minimum, int maximum, int value) = 0;
    // Hourglass pointer on or off.
    virtual void setBusy(bool busy) = 0;

    // A message box with an OK button. Returns when it is gone. Inside a cycle no box may
    // wait for a person: implementations turn it into a self-closing notice (the window) or
    // log it and answer at once (headless); see cycle guard in RunState.h.
    virtual void messageBox(BoxIcon icon, const QString& caption, const QString& text) = 0;
    // A self-closing notice: information icon, one OK button, closes itself after timeoutMs
    // unless closed first. Returns when it is gone.
    virtual void notice(const QString& prompt, const QString& title, int timeoutMs) = 0;
    // Lets pending window events run (buttons such as "Parar" act here).
    virtual void processEvents() = 0;
};

// The program-wide console. Never null: until one is installed, a HeadlessConsole that only
// logs is used. setConsole(nullptr) goes back to that default. The caller keeps ownership.
Console& console();
void setConsole(Console* console);

}  // namespace lumaro::run
