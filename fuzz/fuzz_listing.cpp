// Listing lines: the engine's column splitting and size column, and the transfer page's name rules.
#include "ftp/ftplist.h"
#include "ftp/ftpproto.h"
#include "transfer/transfercore.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    TFTPUnixList list;
    for (const QString& raw : text.split(QLatin1Char('\n'))) {
        const QString line = CutLineEnd(raw + QLatin1Char('\n'));
        list.ParseLine(line);
        if (list.FieldCount != list.Fields.size()) std::abort();
        for (const QString& f : list.Fields)
            if (f.size() > 255) std::abort();
        if (ListingSizeOf(line) < -1) std::abort();
        const transfer::ListingEntry e = transfer::InterpretListingLine(line);
        if (e.kind != transfer::ListingEntry::Kind::None) {
            // A name that could leave the chosen folder never becomes an entry.
            if (e.name.contains(QLatin1Char('/')) || e.name.contains(QLatin1Char('\\')) ||
                e.name == QLatin1String(".") || e.name == QLatin1String(".."))
                std::abort();
        }
        (void)transfer::UnixListingName(line);
        (void)transfer::ListingExtension(e.name);
        (void)transfer::NameFromKeyOn(e.name, QStringLiteral("240101"));
    }
    if (list.Names.size() != list.Sizes.size() || list.Names.size() != list.Attributes.size()) std::abort();
    return 0;
}
