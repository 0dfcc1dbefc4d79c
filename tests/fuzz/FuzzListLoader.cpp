// The list loader over a damaged day file: loaded, shown, sorted and followed as it grows.
#include "logstore/LogListModel.h"
#include "settings/DisplayFormat.h"

#include <QCoreApplication>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

std::string g_path;

void WriteFile(const unsigned char* data, std::size_t size, const char* mode)
{
    std::FILE* f = std::fopen(g_path.c_str(), mode);
    if (!f || std::fwrite(data, 1, size, f) != size || std::fclose(f) != 0) {
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    static QCoreApplication app(*argc, *argv);
    zlv::ProgramDisplayFormat() = zlv::DefaultDisplayFormat();
    char name[] = "/tmp/zlv-fuzz-list-XXXXXX";
    const int fd = ::mkstemp(name);
    if (fd < 0) {
        std::abort();
    }
    ::close(fd);
    g_path = name;
    std::atexit([] { ::unlink(g_path.c_str()); });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size)
{
    // The first half is the file as first loaded, the rest what is appended to it later.
    const std::size_t half = size / 2;
    WriteFile(data, half, "wb");
    zlv::LogListModel model;
    model.appendFile(g_path);
    model.highlight();
    WriteFile(data + half, size - half, "ab");
    model.rebuildFrom(g_path);
    for (int column = 0; column < zlv::LogListModel::kColumnCount; ++column) {
        model.sortBy(column, column % 2 ? Qt::AscendingOrder : Qt::DescendingOrder);
    }
    for (int row = 0; row < model.rowCount(); ++row) {
        for (int column = 0; column < zlv::LogListModel::kColumnCount; ++column) {
            (void)model.data(model.index(row, column));
        }
        (void)model.stamp(row);
    }
    return 0;
}
