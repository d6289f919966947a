#pragma once
// What the read results view shows of a device image: for each of its
// controls, which bytes it takes and how they read. The view and k8w-cli
// both show an image through this one table.
#include <QString>
#include <QStringList>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace k8w::link {

enum class ViewFieldKind {
    Text,       // the bytes up to the first zero (or the image's end), CP1251
    Choice,     // the byte selects an item of the field's fixed list
    Check,      // a check box ticked by one bit of the byte
    Number,     // an unsigned little-endian number of `size` bytes, in decimal
    BuildDate,  // bytes 12-17: "day.month.year hour:minute:second" without leading zeros
    Checksum,   // the stored image checksum as four uppercase hexadecimal digits
};

struct ViewField {
    QString control;  // object name of the view's control
    ViewFieldKind kind;
    std::size_t offset;
    std::size_t size;  // bytes the field occupies (a text: its field in the card)
    const QStringList* items = nullptr;  // Choice
    int bit = 0;                         // Check
    bool tickedWhenClear = false;        // Check: ticked when the bit is 0
    unsigned zeroShownAs = 0;            // Number: what a stored 0 reads as
};

// Every control the view fills, in the order of the image.
const std::vector<ViewField>& ViewFields();

// The field of a control, or null.
const ViewField* FindViewField(const QString& control);

// How the view reads a field of a 585-byte image: texts as text, a choice as
// its item's text (empty for an index beyond the list), a check box as "1"
// or "0", numbers in decimal.
QString ViewFieldText(const ViewField& field, const std::uint8_t* image);

// The stored byte of a choice; it may lie beyond the field's list.
int ViewFieldIndex(const ViewField& field, const std::uint8_t* image);
bool ViewFieldTicked(const ViewField& field, const std::uint8_t* image);

} // namespace k8w::link
