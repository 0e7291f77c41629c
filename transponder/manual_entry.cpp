#include "transponder/manual_entry.h"

#include "app/app_state.h"
#include "transponder/entry_line.h"

namespace {

bool Typing() { return App.InputMode == ManualMode && App.RunMode.load() == Setup; }

// Draws the line at once, outside painting: 13 opaque blanks in the strip
// colour wipe the old text, then the characters up to the one just stored.
void DrawEntryLine(int count) {
    SelectObject(App.WindowDC, App.EntryFont);
    SetBkColor(App.WindowDC, RGB(159, 211, 255));
    SetTextColor(App.WindowDC, RGB(0, 0, 30));
    DrawTextA(App.WindowDC, "             ", 13, &App.BarArea, DT_CENTER | DT_WORDBREAK);
    DrawTextA(App.WindowDC, App.EntryLine.Text, count, &App.BarArea, DT_CENTER | DT_WORDBREAK);
    SetBkColor(App.WindowDC, RGB(128, 197, 255));
}

}  // namespace

void TypeEntryChar(char c, bool keepPosition) {
    if (!Typing()) return;
    const int count = PutEntryChar(&App.EntryLine, c, keepPosition);
    if (count > 0) DrawEntryLine(count);
}

void EraseEntryChar() {
    if (!Typing()) return;
    StepBackEntry(&App.EntryLine);
    TypeEntryChar(' ', true);
}

void ClearEntryLine() {
    BlankEntryLine(&App.EntryLine);
    TypeEntryChar(' ', true);
}

void LoadDefaultEntry() {
    LoadDefaultEntryBytes(&App.EntryLine, App.DefaultEntry, App.DefaultEntrySize);
}

StartResult ParseEntryLine() {
    const StartResult result =
        ParseEntryLineText(App.EntryLine.Text, &App.Transponder, App.MeasureCaption);
    if (result == Accepted) App.RunMode.store(Measuring);
    return result;
}
