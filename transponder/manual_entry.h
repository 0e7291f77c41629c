// The typed transponder line: editing with immediate redraw, and its parse.
#pragma once
#include "transponder/transponder.h"

void TypeEntryChar(char c, bool keepPosition);
void EraseEntryChar();
void ClearEntryLine();
void LoadDefaultEntry();
StartResult ParseEntryLine();
