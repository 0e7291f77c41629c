#include "transponder/manual_entry.h"

#include "app/app_state.h"
#include "skin/drawing.h"
#include "transponder/entry_line.h"

namespace {

bool Typing() { return App.InputMode == ManualMode && App.RunMode.load() == Setup; }

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
