#include "ui/ControlTable.h"

#include <QLabel>

namespace
{

struct Family {
    int base;
    const char *prefix;
    int firstNumber;
    int count;
};

constexpr Family kFamilies[] = {
    {ControlTable::kEdit, "Edit", 1, 4},     {ControlTable::kIO, "IO", 1, 4},
    {ControlTable::kAddr, "Addr", 1, 4},     {ControlTable::kData, "Data", 1, 4},
    {ControlTable::kDigitKey, "btn", 0, 16}, {ControlTable::kImage, "Image", 0, 128},
    {ControlTable::kLabel, "Label", 2, 16},  {ControlTable::kCmntEdit, "CmntEdit", 0, 64},
    {ControlTable::kLab, "Lab", 0, 64},
};

static_assert(ControlTable::kLab + 64 == ControlTable::kSize);

const Family *familyOf(int slot)
{
    for (const Family &f : kFamilies) {
        if (slot >= f.base && slot < f.base + f.count)
            return &f;
    }
    return nullptr;
}

} // namespace

QString ControlTable::nameOf(int slot)
{
    const Family *f = familyOf(slot);
    if (!f)
        return {};
    return QLatin1String(f->prefix) + QString::number(slot - f->base + f->firstNumber);
}

void ControlTable::fill(const QWidget *client)
{
    m_slots.fill(nullptr, kSize);
    // The line elements are looked up line by line (Edit, IO, Addr, Data of line 1, then of
    // line 2, ...), the other families in slot order.
    QList<int> order;
    for (int n = 0; n < 4; ++n)
        order << kEdit + n << kIO + n << kAddr + n << kData + n;
    for (int slot = kDigitKey; slot < kSize; ++slot)
        order << slot;
    for (const int slot : order) {
        QWidget *element = client->findChild<QWidget *>(nameOf(slot));
        if (slot >= kLab) {
            if (auto *label = qobject_cast<QLabel *>(element))
                label->clear();
        }
        m_slots[slot] = element;
    }
}

QWidget *ControlTable::at(int slot) const
{
    return slot >= 0 && slot < m_slots.size() ? m_slots.at(slot) : nullptr;
}

void ControlTable::set(int slot, QWidget *element)
{
    if (slot < 0 || slot >= kSize)
        return;
    if (m_slots.size() < kSize)
        m_slots.resize(kSize);
    m_slots[slot] = element;
}
