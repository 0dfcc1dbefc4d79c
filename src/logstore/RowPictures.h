#pragma once

#include <QCache>
#include <QFont>
#include <QImage>
#include <algorithm>
#include <cstdint>
#include <vector>

namespace zlv {

// Finished pictures of plain rows, by record and colour.
//
// While today's list follows its file, the colour of every sixth row belongs to the row's
// place, so after each record a third of the rows on screen take the other colour and
// are painted again, text and all. A record goes through both colours again and again on
// its way down the screen, so its pictures are kept: painting it again is a copy. What a
// picture depends on besides its record (column widths, font, palette, style, window
// state) makes up the look; a new look forgets every picture.
class RowPictures final
{
public:
    struct Look
    {
        std::vector<int> geometry; // viewport width, row height, header offset, section spans
        QFont font;
        qint64 palette = 0;
        const void* style = nullptr;
        int state = 0; // active window, enabled
        qreal pixelRatio = 1;
        bool operator==(const Look&) const = default;
    };

    void setLook(Look look)
    {
        if (!(look == m_look)) {
            m_pictures.clear();
            m_look = std::move(look);
        }
    }
    void clear() { m_pictures.clear(); }
    qsizetype count() const { return m_pictures.count(); }
    // Forgets the pictures of every record but `records`: once a burst of records has
    // scrolled by, the pictures it left would otherwise fill the cache for good.
    template <typename Records> void keepOnly(const Records& records)
    {
        const auto keys = m_pictures.keys();
        for (const std::uint64_t key : keys) {
            if (std::find(records.begin(), records.end(), key >> 1) == records.end()) {
                m_pictures.remove(key);
            }
        }
    }

    static std::uint64_t key(std::uint32_t record, bool green)
    {
        return (std::uint64_t{record} << 1) | (green ? 1u : 0u);
    }
    const QImage* find(std::uint64_t key) const { return m_pictures.object(key); }
    void insert(std::uint64_t key, QImage picture)
    {
        const auto kib = static_cast<qsizetype>(picture.sizeInBytes() / 1024 + 1);
        m_pictures.insert(key, new QImage(std::move(picture)), kib);
    }

private:
    // Enough for both colours of every row of a large window; beyond it the pictures used
    // longest ago go first.
    static constexpr qsizetype kMostKib = 8 * 1024;

    QCache<std::uint64_t, QImage> m_pictures{kMostKib};
    Look m_look;
};

} // namespace zlv
