// Legacy binary column records (.for): 1492-byte little-endian records, read to migrate old
// descriptions and written for diagnosis. Fields are placed byte by byte at fixed offsets,
// independently of the compiler's struct layout.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "filedesc/fdtext.h"
#include "filedesc/filedesc.h"
#include "filedesc/names.h"
#include "foundation/inputfile.h"
#include "foundation/owned.h"
#include "foundation/trace.h"
#include "foundation/uiport.h"

namespace {

using morvex::FilePtr;

// Byte offsets and sizes inside one record.
enum RecordOffset : size_t {
    OFF_POSITION = 0,
    OFF_CODE = 4,
    SIZE_CODE = 257,
    OFF_DESCRIPTION = 261,
    SIZE_DESCRIPTION = 1025,
    OFF_MESSAGE = 1288,
    OFF_HASWARNING = 1292,
    OFF_HASINFO = 1296,
    OFF_WIDTH = 1300,
    OFF_STATS = 1304,
    OFF_TYPE = 1308,
    OFF_FMTENTIER = 1312,
    OFF_PARTIEENTIERE = 1316,
    OFF_PARTIEDECIMALE = 1320,
    OFF_FMTDATE = 1332,
    SIZE_FMTDATE = 64,
    OFF_FMTDATETIME = 1396,
    SIZE_FMTDATETIME = 64,
    OFF_FMTCHAINEFIXE = 1460,
    OFF_TAILLEMAX = 1464,
    OFF_IGNORE = 1468,
    OFF_CANNOTBENULL = 1472,
    OFF_PROTECTED = 1476,
    OFF_DELIMSTART = 1480,
    OFF_DELIMEND = 1481,
    OFF_STARTPOSITION = 1484,
    OFF_ENDPOSITION = 1488,
};

using Record = unsigned char[FORMATBIN_RECORD_SIZE];

void putInt(Record rec, size_t off, int value) {
    auto v = static_cast<uint32_t>(value);
    for (size_t i = 0; i < 4; ++i) rec[off + i] = static_cast<unsigned char>(v >> (8 * i));
}

int getInt(const Record rec, size_t off) {
    uint32_t v = 0;
    for (size_t i = 0; i < 4; ++i) v |= static_cast<uint32_t>(rec[off + i]) << (8 * i);
    return static_cast<int>(v);
}

// Copies a zero-terminated text into a slot of `size` bytes (zero-filled, cut to size - 1).
void putText(Record rec, size_t off, size_t size, const char* text) {
    size_t n = strnlen(text, size - 1);
    memcpy(rec + off, text, n);
}

// Reads a slot of `size` bytes into a fixed text of `dstSize` bytes, cut where needed.
void getText(const Record rec, size_t off, size_t size, char* dst, size_t dstSize) {
    std::string slot(reinterpret_cast<const char*>(rec + off),
                     strnlen(reinterpret_cast<const char*>(rec + off), size));
    fdtext::copyCut(dst, dstSize, slot.c_str());
}

void encodeColumn(const ColumnDesc& col, Record rec) {
    memset(rec, 0, FORMATBIN_RECORD_SIZE);
    putInt(rec, OFF_POSITION, col.Position);
    putText(rec, OFF_CODE, SIZE_CODE, col.code);
    putText(rec, OFF_DESCRIPTION, SIZE_DESCRIPTION, col.Description);
    putInt(rec, OFF_MESSAGE, 0);  // pointers mean nothing in a file
    putInt(rec, OFF_HASWARNING, col.hasWarning);
    putInt(rec, OFF_HASINFO, col.hasInfo);
    putInt(rec, OFF_WIDTH, col.WidthInChars);
    putInt(rec, OFF_STATS, 0);
    putInt(rec, OFF_TYPE, col.typeCible.type);
    putInt(rec, OFF_FMTENTIER, col.typeCible.fmtEntier.taille);
    putInt(rec, OFF_PARTIEENTIERE, col.typeCible.fmtDecimal.partieEntiere);
    putInt(rec, OFF_PARTIEDECIMALE, col.typeCible.fmtDecimal.partieDecimale);
    putText(rec, OFF_FMTDATE, SIZE_FMTDATE, col.typeCible.fmtDate);
    putText(rec, OFF_FMTDATETIME, SIZE_FMTDATETIME, col.typeCible.fmtDateTime);
    putInt(rec, OFF_FMTCHAINEFIXE, col.typeCible.fmtChaineFixe.taille);
    putInt(rec, OFF_TAILLEMAX, col.typeCible.fmtChaineVar.tailleMax);
    putInt(rec, OFF_IGNORE, col.IgnoreColumn);
    putInt(rec, OFF_CANNOTBENULL, col.FieldCannotBeNull);
    putInt(rec, OFF_PROTECTED, col.protectedField);
    rec[OFF_DELIMSTART] = static_cast<unsigned char>(col.DelimCharStart);
    rec[OFF_DELIMEND] = static_cast<unsigned char>(col.DelimCharEnd);
    putInt(rec, OFF_STARTPOSITION, col.StartPosition);
    putInt(rec, OFF_ENDPOSITION, col.EndPosition);
}

void decodeColumn(const Record rec, ColumnDesc& col) {
    memset(&col, 0, sizeof col);
    col.Position = getInt(rec, OFF_POSITION);
    getText(rec, OFF_CODE, SIZE_CODE, col.code, sizeof col.code);
    getText(rec, OFF_DESCRIPTION, SIZE_DESCRIPTION, col.Description, sizeof col.Description);
    col.message = nullptr;
    col.hasWarning = getInt(rec, OFF_HASWARNING);
    col.hasInfo = getInt(rec, OFF_HASINFO);
    col.WidthInChars = getInt(rec, OFF_WIDTH);
    col.stats = nullptr;
    col.typeCible.type = getInt(rec, OFF_TYPE);
    col.typeCible.fmtEntier.taille = getInt(rec, OFF_FMTENTIER);
    col.typeCible.fmtDecimal.partieEntiere = getInt(rec, OFF_PARTIEENTIERE);
    col.typeCible.fmtDecimal.partieDecimale = getInt(rec, OFF_PARTIEDECIMALE);
    getText(rec, OFF_FMTDATE, SIZE_FMTDATE, col.typeCible.fmtDate, sizeof col.typeCible.fmtDate);
    getText(rec, OFF_FMTDATETIME, SIZE_FMTDATETIME, col.typeCible.fmtDateTime,
            sizeof col.typeCible.fmtDateTime);
    col.typeCible.fmtChaineFixe.taille = getInt(rec, OFF_FMTCHAINEFIXE);
    col.typeCible.fmtChaineVar.tailleMax = getInt(rec, OFF_TAILLEMAX);
    col.IgnoreColumn = getInt(rec, OFF_IGNORE);
    col.FieldCannotBeNull = getInt(rec, OFF_CANNOTBENULL);
    col.protectedField = getInt(rec, OFF_PROTECTED);
    col.DelimCharStart = static_cast<char>(rec[OFF_DELIMSTART]);
    col.DelimCharEnd = static_cast<char>(rec[OFF_DELIMEND]);
    col.StartPosition = getInt(rec, OFF_STARTPOSITION);
    col.EndPosition = getInt(rec, OFF_ENDPOSITION);
}

int buildPath(const char* logsDir, const char* name, char* out, int outSize) {
    if (!logsDir || !out || outSize <= 0) return 1;
    std::string path(logsDir);
    if (!path.empty() && path.back() != '/') path += '/';
    path += name;
    fdtext::copyCut(out, static_cast<size_t>(outSize), path.c_str());
    return 0;
}

}  // namespace

int ChargerFormat(FileDesc* desc, const char* path) {
    if (!desc || !path) return 1;
    FilePtr file(morvex::openInputFile(path, nullptr));
    if (!file) return 1;
    Record rec;
    // Whole records only: a trailing incomplete record ends the reading, as does the column
    // limit.
    auto count = static_cast<int>(desc->columns.size());
    while (count++ < FILEDESC_MAX_COLUMNS && fread(rec, 1, sizeof rec, file.get()) == sizeof rec) {
        ColumnDesc col;
        decodeColumn(rec, col);
        FILEDESC_ScrubName(col.code);  // a stray byte of the fixed slot never reaches a script
        FILEDESC_AjouterColonne(desc, &col);
    }
    morvex::uiPort().refresh(morvex::UiRefresh::ResultView);
    return 0;
}

int EnregistrerFormat(FileDesc* desc, const char* path) {
    if (!desc || desc->columns.empty()) {
        morvex::trace("\n[EnregistrerFormat] : Le format ne contient aucune colonne");
        return 1;
    }
    if (!path) return 1;
    morvex::trace("\n[EnregistrerFormat] : Enregistrement des colonnes dans le fichier [%s]", path);
    FilePtr file(fopen(path, "wb"));
    if (!file) {
        morvex::trace("\n[EnregistrerFormat] : Erreur a l'ouverture du fichier");
        return 1;
    }
    int n = 0;
    Record rec;
    for (const ColumnOwner& col : desc->columns) {
        morvex::trace("\n[EnregistrerFormat] : Ecriture de la colonne n°%i", ++n);
        encodeColumn(*col, rec);
        if (fwrite(rec, 1, sizeof rec, file.get()) != sizeof rec) return 1;
    }
    return fclose(file.release()) == 0 ? 0 : 1;
}

int DEBUG_SavePadding(FileDesc* desc, const char* path) {
    if (!desc || desc->columns.empty()) {
        morvex::trace("\n[DEBUG_SavePadding] : Le format ne contient aucune colonne");
        return 1;
    }
    if (!path) return 1;
    morvex::trace("\n[DEBUG_SavePadding] : Enregistrement des colonnes dans le fichier [%s]", path);
    FilePtr file(fopen(path, "wb"));
    if (!file) {
        morvex::trace("\n[DEBUG_SavePadding] : Erreur a l'ouverture du fichier");
        return 1;
    }
    int n = 0;
    for (const ColumnOwner& col : desc->columns) {
        morvex::trace("\n[DEBUG_SavePadding] : Ecriture de la colonne n°%i", ++n);
        unsigned char bytes[4];
        auto v = static_cast<uint32_t>(col->Position);
        for (size_t i = 0; i < 4; ++i) bytes[i] = static_cast<unsigned char>(v >> (8 * i));
        if (fwrite(bytes, 1, sizeof bytes, file.get()) != sizeof bytes) return 1;
    }
    return fclose(file.release()) == 0 ? 0 : 1;
}

int FILEDESC_DebugFormatBinPath(const char* logsDir, char* out, int outSize) {
    return buildPath(logsDir, "MorvexFylatek.DebugFormatBin.bin", out, outSize);
}

int FILEDESC_DebugPaddingPath(const char* logsDir, char* out, int outSize) {
    return buildPath(logsDir, "MorvexFylatek.DebugPadding.bin", out, outSize);
}
