#include "splitindex/splitindex.h"

#include <cstdio>
#include <memory>

#include "datafile/datafile.h"
#include "filedesc/descdialect.h"
#include "foundation/csvexport.h"
#include "foundation/owned.h"
#include "foundation/trace.h"

namespace {

using Reader = morvex::Owned<DATAFILE, DATAFILE_DestroyIterator>;

// A reader over the file through the description's dialect; `fromAnyRow`: one that neither
// skips lines nor a header, to read on from a row's offset.
Reader openReader(const FileDesc* desc, const std::string& path, int nCarMax,
                  bool fromAnyRow = false) {
    DATAFILE_DIALECT dialect;
    if (!FILEDESC_MakeDialect(desc, dialect).empty()) return nullptr;
    if (fromAnyRow) {
        dialect.firstLine = 1;
        dialect.header = false;
    }
    Reader reader(DATAFILE_NewIterator(dialect, path.c_str(), nCarMax, 0));
    if (reader && DATAFILE_Init(reader.get()) != 0) reader.reset();
    return reader;
}

void toCells(const std::vector<DATAFIELD>& fields, std::vector<std::string>& cells) {
    cells.clear();
    for (const DATAFIELD& f : fields) cells.emplace_back(f.value, static_cast<size_t>(f.length));
}

}  // namespace

void SPLITINDEX_Prepare(SPLITINDEX* index, FileDesc* desc, const std::string& path, int nCarMax) {
    index->desc = desc;
    index->path = path;
    index->nCarMax = nCarMax;
    index->ends.clear();
    index->columnCount = desc ? static_cast<int>(desc->columns.size()) : 0;
    index->exactOffsets = desc && desc->Encoding[0] == '\0';
}

SplitIndexResult SPLITINDEX_Build(SPLITINDEX* index, FileDesc* desc, const std::string& path,
                                  int nCarMax, const std::atomic<bool>* stop,
                                  const std::function<void(int)>& progress) {
    SPLITINDEX_Prepare(index, desc, path, nCarMax);
    Reader reader = desc ? openReader(desc, path, nCarMax) : nullptr;
    if (!reader) return SPLITINDEX_NOREADER;
    std::vector<DATAFIELD> fields;
    while (DATAFILE_ReadNextFields(reader.get(), fields)) {
        index->ends.push_back(static_cast<int64_t>(DATAFILE_GetReadBytes(reader.get())));
        const int rows = static_cast<int>(index->ends.size());
        if (progress && rows % 100 == 0) progress(rows);
        if (stop && stop->load()) return SPLITINDEX_STOPPED;
    }
    return SPLITINDEX_DONE;
}

int SPLITINDEX_RowCount(const SPLITINDEX* index) {
    return index ? static_cast<int>(index->ends.size()) : 0;
}

bool SPLITINDEX_ReadRows(const SPLITINDEX* index, int first, int count,
                         std::vector<std::vector<std::string>>& rows) {
    rows.clear();
    if (!index || !index->desc || first < 0) return false;
    const int total = SPLITINDEX_RowCount(index);
    if (first >= total || count <= 0) return true;
    count = std::min(count, total - first);
    std::vector<DATAFIELD> fields;
    Reader reader;
    if (first == 0 || !index->exactOffsets) {
        // From the start: the reader skips the lines before the first one and the header.
        reader = openReader(index->desc, index->path, index->nCarMax);
        if (!reader) return false;
        for (int skipped = 0; skipped < first; ++skipped)
            if (!DATAFILE_ReadNextFields(reader.get(), fields)) return false;
    } else {
        // From the end of the row before: a dialect that neither skips lines nor a header reads
        // on from there.
        reader = openReader(index->desc, index->path, index->nCarMax, true);
        if (!reader || fseeko(reader->file, index->ends[first - 1], SEEK_SET) != 0) return false;
        for (int r = 0; r < count; ++r) {
            if (!DATAFILE_ReadNextFields(reader.get(), fields)) break;
            rows.emplace_back();
            toCells(fields, rows.back());
        }
        return static_cast<int>(rows.size()) == count;
    }
    for (int r = 0; r < count; ++r) {
        if (!DATAFILE_ReadNextFields(reader.get(), fields)) break;
        rows.emplace_back();
        toCells(fields, rows.back());
    }
    return static_cast<int>(rows.size()) == count;
}

bool SPLITINDEX_Export(const SPLITINDEX* index, const std::string& out,
                       const std::function<void(int)>& progress) {
    FILE* file = std::fopen(out.c_str(), "wb");
    if (!file) return false;
    bool ok = true;
    const int total = SPLITINDEX_RowCount(index);
    std::vector<std::vector<std::string>> rows;
    std::string line;
    for (int first = 0; ok && first < total; first += 1000) {
        ok = SPLITINDEX_ReadRows(index, first, 1000, rows);
        for (size_t r = 0; ok && r < rows.size(); ++r) {
            line.clear();
            for (const std::string& cell : rows[r])
                CSVEXPORT_AppendCell(line, cell.data(), cell.size());
            line += CSVEXPORT_EOL;
            ok = std::fwrite(line.data(), 1, line.size(), file) == line.size();
            if (progress) progress(first + static_cast<int>(r) + 1);
        }
    }
    if (std::fclose(file) != 0) ok = false;
    return ok;
}
