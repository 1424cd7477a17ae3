#pragma once

#include <QList>
#include <QString>

class QWidget;

// The 304 numbered display elements of the main window, found once at start-up by composing
// their names (prefix and decimal number, no leading zeros), so that the areas can address a
// line's texts and a lamp by number. Each family of elements takes a run of slots; the slot
// bases below are the only place the numbering is written.
//
// Thread contract: window thread only.
class ControlTable
{
public:
    static constexpr int kEdit = 0;       // Edit1 .. Edit4: the raw frame of each line
    static constexpr int kIO = 4;         // IO1 .. IO4: the kind text of each line
    static constexpr int kAddr = 8;       // Addr1 .. Addr4
    static constexpr int kData = 12;      // Data1 .. Data4
    static constexpr int kDigitKey = 16;  // btn0 .. btn15
    static constexpr int kImage = 32;     // Image0 .. Image127: 64 main lamps, then 64 copies
    static constexpr int kLabel = 160;    // Label2 .. Label17: the bit numbers above the lamps
    static constexpr int kCmntEdit = 176; // CmntEdit0 .. CmntEdit63
    static constexpr int kLab = 240;      // Lab0 .. Lab63
    static constexpr int kSize = 304;

    // The name of a slot's element: the family's prefix and number (the display lines' families
    // count from 1, Label from 2, the others from 0); empty outside the table.
    static QString nameOf(int slot);

    // Looks every element up under client by its composed name; a name not found leaves its slot
    // empty. Each Lab label found is emptied.
    void fill(const QWidget *client);

    // The element in a slot; null for an empty slot, one outside the table, or before fill().
    QWidget *at(int slot) const;
    QWidget *operator[](int slot) const { return at(slot); }
    qsizetype size() const { return m_slots.size(); }

    // Puts an element into a slot (test windows that build their elements by hand).
    void set(int slot, QWidget *element);

private:
    QList<QWidget *> m_slots;
};
