#pragma once
// Changes the staff make to the day's samples by hand: results typed for an
// item, a sample's registration deleted with everything stored under its
// number, a sample moved to another number. Every key is bound, so a sample
// number holding a quote or a LIKE wildcard is just a sample number.
#include <QString>
#include <QVariant>
#include <optional>

namespace ws {

// An item of the catalogue as manual entry shows and stores it.
struct ItemChoice
{
    int itemid = 0;
    QString label;   // name followed by the abbreviation in square brackets
    int bitnum = 0;  // decimals of a stored number; NULL counts as 0
};

// Finds the item that the typed text names: a whole number (leading blanks
// allowed) by item number, any other text by abbreviation, without regard to
// letter case but taken literally ("LYM%" is the item LYM%, not LYM#). The
// first one in catalogue order when several match. nullopt with *error empty
// when none matches, with the database's text on a failure.
std::optional<ItemChoice> findItem(const QString &typed, QString *error);

inline constexpr int kResultWidth = 12;

// A sample is its number together with its day (checkdate): the day tables
// may hold the same number for patients of several days.
//
// Writes one result of a sample: its row of the item is overwritten, or a
// new one is added under the sample's own check date.
bool storeResult(const QString &shelfid, const QString &checkdate, int itemid, const QString &value,
                 QString *error);

// Deletes a sample's results, graph data and registration, all or nothing.
bool deleteSample(const QString &shelfid, const QVariant &checkdate, QString *error);

// Whether the number `to` is free for the registration of `from`: Registered
// when a registration (this one included) of any day is stored under it,
// compared as text ("05" is not "5"): the list shows every day's samples, so
// a number it shows counts as taken.
enum class NumberUse {
    Free,
    Registered,
};
bool numberUse(const QString &from, const QString &to, NumberUse *use, QString *error);

// Moves a sample's registration (number `from` of day `checkdate`) to
// another number, leaving its results and graph data under the old one.
// Refuses (returns false, *use set, *error empty) a number that numberUse()
// does not find free.
bool renumberSample(const QString &from, const QVariant &checkdate, const QString &to, NumberUse *use,
                    QString *error);

} // namespace ws
