// The list loader over a damaged day file: loaded, grown, sorted and shown.
#include "logstore/LogListModel.h"
#include "settings/DisplayFormat.h"

#include <QCoreApplication>
#include <algorithm>
#include <fstream>
#include <string>
#include <unistd.h>

static const std::string g_path = "/tmp/zlv-fuzz-list-" + std::to_string(::getpid());

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    static QCoreApplication app(*argc, *argv);
    zlv::ProgramDisplayFormat() = zlv::DefaultDisplayFormat();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size)
{
    // The first half is the file as first loaded, the rest what is appended to it later.
    const char* bytes = reinterpret_cast<const char*>(data);
    std::ofstream(g_path, std::ios::binary | std::ios::trunc).write(bytes, size / 2);
    zlv::LogListModel model;
    model.appendFile(g_path);
    model.highlight();
    std::ofstream(g_path, std::ios::binary | std::ios::app)
        .write(bytes + size / 2, size - size / 2);
    model.rebuildFrom(g_path);
    // A find text from the same bytes: any bytes at all, tabs and broken UTF-8 included.
    model.setFilter(
        QString::fromUtf8(bytes, static_cast<qsizetype>(std::min<std::size_t>(size, 6))));
    model.setFilter({});
    for (int column = 0; column < zlv::LogListModel::kColumnCount; ++column) {
        model.sortBy(column, column % 2 ? Qt::AscendingOrder : Qt::DescendingOrder);
        for (int row = 0; row < model.rowCount(); ++row) {
            (void)model.data(model.index(row, column));
        }
    }
    ::unlink(g_path.c_str());
    return 0;
}
