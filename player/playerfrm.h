#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>

namespace velune {

class Face;
class Form;
class InstanceLock;
class MessageBoxes;
class OpenFileDialog;
class PlayerEngine;
class Ticker;

// The player's title, the caption of its message boxes.
inline const QString kPlayerTitle = QStringLiteral("VelunePlayer");

// The player's window: playlist, transport, time display and seek bar.
class mAINfRM {
public:
    struct Parts {
        Face& flash;
        Form& form;
        MessageBoxes& messages;
        OpenFileDialog& dialog;
        InstanceLock& instance;
        PlayerEngine& VLC;
        Ticker& Timer1;
        QString programFolder;
    };

    explicit mAINfRM(Parts parts) : p_(std::move(parts)) {}

    // Start-up; false when the program must end (another copy runs, no face).
    bool Form_Load();
    void Form_Unload();
    void Flash_FSCommand(const QString& command, const QString& args);

    void Command1_Click();
    void C_Click(int Index);
    void Command2_Click(int Index);
    // Loads row FileN into the engine; false (after telling the user) when its file is missing.
    bool FillPlayList(int FileN);
    void LstFiles_DblClick();
    void Timer1_Timer();
    void HS_Change();
    void HS_Scroll();
    void LstFiles_OLEDragDrop(const QStringList& files);

    // Time text of a millisecond count: minutes and seconds, "01:05"; none when
    // the count is out of range.
    static std::optional<QString> FormatTime(double tt);

    // State, for the window and for checks.
    const QStringList& LstFiles() const { return LstFiles_; }
    int ListIndex() const { return selected_; }
    void SelectRow(int row) { selected_ = row; }
    int CurrentIndex() const { return CurrentIndex_; }
    int HS() const { return HS_; }
    bool Stopped() const { return Stopped_; }
    bool RepeatOn() const { return RepeatOn_; }
    bool ListShown() const { return listShown_; }
    const QString& L() const { return L_; }

private:
    enum Button { Play, Pause, Stop, Next, Previous, Repeat };

    void SetHS(int value);
    void SetButton(int index, const QString& state);
    void SetTitle(const QString& text);
    void ShowRow();
    void DisableTransport();
    // Appends rows to the list and the face, loading the first row into an empty list.
    void AppendRows(const QStringList& paths);
    // The engine is emptied and the list counts as not loaded.
    void ForgetLoaded();
    void PlayIndex(const QString& args);
    // Loads the row and plays it (from its start and announced when `afresh`).
    void PlayRow(int row, bool afresh);
    void Remove(const QString& args);
    void RemoveAll();
    void KnobReleased();
    void Volume();
    void AddPaths(const QStringList& paths);
    bool StreamItem() const;
    void ClearDisplay();
    QString Row(int row) const;
    void SetTime(const char* name, std::optional<double> ms);

    void PlayButton();
    void PauseButton();
    void StopButton();
    void NextButton();
    void PreviousButton();
    void RepeatButton();

    Parts p_;
    QStringList LstFiles_;
    int selected_ = -1;
    int CurrentIndex_ = 0;
    QStringList PickedFiles_;
    QString NewPaths_;
    bool ListLoaded_ = false;
    bool RepeatOn_ = false;
    bool Stopped_ = true;
    std::int32_t ElapsedTicks_ = 0;
    int HS_ = 0;
    QString L_ = QStringLiteral("00:00");
    bool listShown_ = false;
    // Counts the items the transport started, to tell whether anything plays on.
    unsigned started_ = 0;
};

} // namespace velune
