#include "measure/level_text.h"

void FormatLevelText(int32_t level, char text[4]) {
    if (level < 0) level = 0;
    if (level > 99) level = 99;
    text[0] = static_cast<char>('0' + level / 10);
    text[1] = static_cast<char>('0' + level % 10);
    text[2] = '%';
    text[3] = '\0';
}

void WriteLevelText(LevelTextWord* word, int32_t level) {
    char text[4];
    FormatLevelText(level, text);
    word->store(PackLevelText(text));
}

void ReadLevelText(const LevelTextWord& word, char text[4]) {
    const uint32_t whole = word.load();
    for (int i = 0; i < 4; ++i) text[i] = static_cast<char>(whole >> (8 * i));
}
