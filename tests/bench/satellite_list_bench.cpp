// The satellite list maker's speed: the XML reader alone and the whole list
// made, on the committed table and on a table of the 100 MB the reader takes
// at most (the committed table's <sat> entries again and again). Prints
// figures only.
//
// usage: satellite_list_bench SATELLITES_XML BUILTIN_INI
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "listmaker/make_list.h"
#include "listmaker/xml_reader.h"

namespace {

std::string ReadFile(const char* path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// The best of a few rounds, in seconds.
template <typename Work>
double Best(int rounds, Work work) {
    double best = 1e9;
    for (int i = 0; i < rounds; ++i) {
        const auto start = std::chrono::steady_clock::now();
        work();
        const double seconds = Seconds(start);
        if (seconds < best) best = seconds;
    }
    return best;
}

// The table's <sat> entries repeated up to (not past) the reader's limit.
std::string LargestTable(const std::string& table) {
    const size_t first = table.find("<sat "), last = table.rfind("</sat>") + 6;
    const std::string head = table.substr(0, first), sats = table.substr(first, last - first), tail = "\n</satellites>\n";
    std::string large = head;
    while (large.size() + sats.size() + tail.size() <= kXmlSizeLimit) large += sats;
    return large + tail;
}

void Report(const char* what, const std::string& xml, const std::string& builtin, int rounds) {
    XmlEvents events;
    XmlFailure failure;
    bool read = true, made = true;
    const double reading = Best(rounds, [&] { read = read && ReadXml(xml, events, &failure); });
    const double making = Best(rounds, [&] {
        MadeList list;
        std::string error;
        made = made && MakeSatelliteList(xml, builtin, kMaxListEntries, &list, &error);
    });
    const double megabytes = static_cast<double>(xml.size()) / 1e6;
    std::printf("%s, %.1f MB: XML read %.1f ms (%.0f MB/s)%s; list made %.1f ms (%.0f MB/s)%s\n", what, megabytes,
                reading * 1e3, megabytes / reading, read ? "" : " REFUSED", making * 1e3, megabytes / making,
                made ? "" : " REFUSED");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: satellite_list_bench SATELLITES_XML BUILTIN_INI\n");
        return 2;
    }
    const std::string table = ReadFile(argv[1]), builtin = ReadFile(argv[2]);
    Report("the committed table", table, builtin, 20);
    Report("the largest table read", LargestTable(table), builtin, 3);
    return 0;
}
