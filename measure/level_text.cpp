#include "measure/level_text.h"

void FormatLevelText(int32_t level, char text[4]) {
    if (level < 0) level = 0;
    if (level > 99) level = 99;
    text[0] = static_cast<char>('0' + level / 10);
    text[1] = static_cast<char>('0' + level % 10);
    text[2] = '%';
    text[3] = '\0';
}
