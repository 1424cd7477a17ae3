#pragma once

#include <QString>
#include <array>

// The four comment tables compiled from the comment grid: bit inputs and outputs by bit number,
// word inputs and outputs by word number * 16 + bit. An entry without a comment is empty.
// Read with at(), which gives an empty text for any index outside the table.
struct CommentTables {
    static constexpr int kBitCount = 256;
    static constexpr int kWordBitCount = 1024;

    std::array<QString, kBitCount> CommentBI;
    std::array<QString, kBitCount> CommentBO;
    std::array<QString, kWordBitCount> CommentWI;
    std::array<QString, kWordBitCount> CommentWO;

    template <std::size_t N> static QString at(const std::array<QString, N> &table, int index)
    {
        return index >= 0 && std::size_t(index) < N ? table[std::size_t(index)] : QString();
    }
};
