#include "server/transfer/Import.h"

#include <algorithm>
#include <map>
#include <unordered_map>
#include <unordered_set>

#include "core/NumberText.h"
#include "server/stores/Schema.h"
#include "server/transfer/TransferStore.h"

namespace krv::server::transfer {

namespace {

// Thrown inside the transaction to leave it without a commit.
struct NothingToCommit {};

std::string shown(std::string key) {
    for (char& c : key)
        if (c == '\x1f') c = '/';
    return "\"" + key + "\"";
}

std::vector<int> ownReferenceColumns(const RecordKind& kind) {
    std::vector<int> columns;
    for (const Reference& reference : kind.references)
        if (reference.kind == kind.table)
            columns.insert(columns.end(), reference.columns.begin(), reference.columns.end());
    return columns;
}

// The key with the zeros on the left of its codes of digits left out.
std::string bareKey(const Record& record, const std::vector<int>& columns) {
    std::string out;
    for (int column : columns) {
        const auto* text = std::get_if<std::string>(&record[size_t(column)]);
        if (text && !text->empty() && text->find_first_not_of("0123456789") == std::string::npos)
            out += text->substr(std::min(text->find_first_not_of('0'), text->size() - 1));
        else
            out += keyText(record, {column});
        out += '\x1f';
    }
    return out;
}

// "produtos" of "produto", "previsões de comensais" of "previsão de comensais": each word
// up to the one that joins the rest.
std::string plural(const std::string& label) {
    std::string out;
    bool joined = false;
    size_t from = 0;
    while (from <= label.size()) {
        const size_t end = std::min(label.find(' ', from), label.size());
        std::string word = label.substr(from, end - from);
        joined = joined || word == "de" || word == "per";
        if (!joined && !word.empty() && !word.ends_with("s")) {
            if (word.ends_with("ão"))
                word.replace(word.size() - 3, 3, "ões");
            else if (word.ends_with("l"))
                word.replace(word.size() - 1, 1, "is");
            else if (word.ends_with("m"))
                word.replace(word.size() - 1, 1, "ns");
            else
                word += "s";
        }
        out += (out.empty() ? "" : " ") + word;
        from = end + 1;
    }
    return out;
}

// Whether a label names a feminine thing: "filial", "receita", "previsão de comensais".
bool feminine(const std::string& label) {
    const std::string word = label.substr(0, label.find(' '));
    return word == "filial" || word.ends_with("a") || word.ends_with("ão") || word.ends_with("gem");
}

// Absent records kept because something uses them, and who: "receitas", "requisições".
struct Kept {
    size_t count = 0;
    std::vector<std::string> users;
};

// "3 produtos mantidos: em uso por receitas, requisições"
std::string keptText(const RecordKind& kind, const Kept& kept) {
    std::string users;
    for (const std::string& user : kept.users) users += (users.empty() ? "" : ", ") + user;
    const std::string kept1 = feminine(kind.label) ? " mantida" : " mantido";
    return countText(int64_t(kept.count)) + " " +
           (kept.count == 1 ? kind.label + kept1 : plural(kind.label) + kept1 + "s") + ": em uso por " + users;
}

bool anyNull(const Record& record, const std::vector<int>& columns) {
    for (int c : columns)
        if (std::holds_alternative<std::monostate>(record[size_t(c)])) return true;
    return false;
}

// The files against the database, inside the transaction that writes them.
class Plan {
public:
    Plan(db::Connection& c, const std::vector<FileRecords>& files, const ImportOptions& options)
        : store_(c), files_(files), options_(options) {
        for (const FileRecords& file : files) fileOf_[file.kind->table] = &file;
    }

    ImportResult run(Problems& problems) {
        loadWhatIsNeeded();
        for (const FileRecords& file : files_) decideRemovals(file);
        // Those who refer come after what they refer to: what they keep is known by then.
        for (auto file = files_.rbegin(); file != files_.rend(); ++file) keepWhatIsUsed(*file);
        for (const FileRecords& file : files_) checkReferences(file, problems);
        for (const FileRecords& file : files_) checkZeros(file, problems);
        if (!problems.empty()) return {};
        ImportResult result;
        for (const FileRecords& file : files_) result.files.push_back(write(file));
        for (auto file = files_.rbegin(); file != files_.rend(); ++file) removeAbsent(*file, result);
        return result;
    }

private:
    struct Stored {
        std::unordered_map<std::string, Record> byKey;
    };
    // The stored records an import deletes, by key: true when replaced within a whole.
    using Doomed = std::unordered_map<std::string, bool>;

    void load(const RecordKind& kind) {
        if (stored_.count(kind.table)) return;
        Stored& stored = stored_[kind.table];
        const std::vector<int> key = kind.keyColumns();
        store_.each(kind, [&](Record&& record) {
            std::string k = keyText(record, key);
            stored.byKey.emplace(std::move(k), std::move(record));
        });
    }

    void loadWhatIsNeeded() {
        for (const FileRecords& file : files_) {
            load(*file.kind);
            for (const Reference& reference : file.kind->references) load(*kindOfTable(reference.kind));
            if (options_.removeMissing || !file.kind->whole.empty())
                for (const RecordKind& other : recordKinds())
                    if (other.refersTo(file.kind->table)) load(other);
        }
    }

    // The values of these columns in the file's rows.
    static std::unordered_set<std::string> covered(const FileRecords& file, const std::vector<int>& columns) {
        std::unordered_set<std::string> values;
        if (!columns.empty())
            for (const Record& record : file.records) values.insert(keyText(record, columns));
        return values;
    }

    // A file with no rows removes nothing, lest a header saved alone wipe a table.
    void decideRemovals(const FileRecords& file) {
        const RecordKind& kind = *file.kind;
        const auto& stored = stored_.at(kind.table).byKey;
        const bool absentGo = options_.removeMissing && !kind.single && !kind.neverRemoved && !file.records.empty();
        if (stored.empty() || (!absentGo && kind.whole.empty())) return;
        const std::unordered_set<std::string> kitchens = covered(file, kind.coverage);
        const std::unordered_set<std::string> wholes = covered(file, kind.whole);
        Doomed& doomed = doomed_[kind.table];
        std::string part;
        const auto among = [&](const Record& record, const std::vector<int>& columns,
                               const std::unordered_set<std::string>& values) {
            keyText(record, columns, part);
            return values.count(part) != 0;
        };
        for (const auto& [key, record] : stored) {
            if (file.has(key)) continue;
            if (!kind.whole.empty() && among(record, kind.whole, wholes))
                doomed.emplace(key, true);
            else if (absentGo && (kind.coverage.empty() || among(record, kind.coverage, kitchens)))
                doomed.emplace(key, false);
        }
    }

    bool removed(const RecordKind& kind, const std::string& key) const {
        const auto doomed = doomed_.find(kind.table);
        return doomed != doomed_.end() && doomed->second.count(key);
    }
    void checkReferences(const FileRecords& file, Problems& problems) const {
        std::string key;
        for (const Reference& reference : file.kind->references) {
            const RecordKind& target = *kindOfTable(reference.kind);
            const auto targetFile = fileOf_.find(target.table);
            const FileRecords* inFiles = targetFile == fileOf_.end() ? nullptr : targetFile->second;
            const auto& inDatabase = stored_.at(target.table).byKey;
            for (size_t i = 0; i < file.records.size(); ++i) {
                const Record& record = file.records[i];
                if (anyNull(record, reference.columns)) continue;
                keyText(record, reference.columns, key);
                // A stored record this one refers to is kept by keepWhatIsUsed().
                if ((inFiles && inFiles->has(key)) || inDatabase.count(key)) continue;
                problems.add(file.name, file.lines[i], file.kind->columnNames(reference.columns),
                             target.label + " " + shown(key) + " não existe no banco nem em " + target.file);
            }
        }
    }

    // A spreadsheet that took "01" for a number saved "1": a new record whose key differs
    // from a stored one only by zeros on the left of its codes is a second record of the same
    // thing, and is refused.
    void checkZeros(const FileRecords& file, Problems& problems) const {
        const RecordKind& kind = *file.kind;
        const auto& stored = stored_.at(kind.table).byKey;
        if (stored.empty() || kind.single) return;
        std::unordered_map<std::string, std::string> storedByBareKey;
        for (const auto& [key, index] : file.byKey) {
            if (stored.count(key)) continue;
            if (storedByBareKey.empty())
                for (const auto& [storedKey, record] : stored)
                    storedByBareKey.emplace(bareKey(record, kind.keyColumns()), storedKey);
            const auto same = storedByBareKey.find(bareKey(file.records[index], kind.keyColumns()));
            if (same != storedByBareKey.end())
                problems.add(file.name, file.lines[index], kind.columnNames(kind.keyColumns()),
                             kind.label + " " + shown(key) + " seria novo, mas o banco tem " + shown(same->second) +
                                 ", que só difere nos zeros à esquerda: escreva o código como no banco");
        }
    }

    // The records of `kind` once the import is written.
    template <class Each>
    void eachFinal(const RecordKind& kind, Each each) const {
        const auto file = fileOf_.find(kind.table);
        if (file != fileOf_.end())
            for (const Record& record : file->second->records) each(record);
        for (const auto& [key, record] : stored_.at(kind.table).byKey)
            if (file == fileOf_.end() || (!file->second->has(key) && !removed(kind, key))) each(record);
    }

    // A record the file no longer lists stays while anything that stays refers to it, or a
    // requisition, order or forecast uses it; records of the kind may refer to each other,
    // so one kept may keep another.
    void keepWhatIsUsed(const FileRecords& file) {
        const RecordKind& kind = *file.kind;
        const auto doomed = doomed_.find(kind.table);
        if (doomed == doomed_.end()) return;
        Kept& kept = kept_[kind.table];
        for (bool again = true; again;) {
            again = false;
            std::unordered_map<std::string, std::string> referredBy;  // key → who refers to it
            for (const RecordKind& other : recordKinds())
                for (const Reference& reference : other.references)
                    if (reference.kind == kind.table)
                        eachFinal(other, [&](const Record& record) {
                            if (!anyNull(record, reference.columns))
                                referredBy.emplace(keyText(record, reference.columns), plural(other.label));
                        });
            for (auto record = doomed->second.begin(); record != doomed->second.end();) {
                const std::string user = userOf(kind, record->first, referredBy);
                if (user.empty()) {
                    ++record;
                    continue;
                }
                ++kept.count;
                if (std::find(kept.users.begin(), kept.users.end(), user) == kept.users.end())
                    kept.users.push_back(user);
                record = doomed->second.erase(record);
                again = kind.refersTo(kind.table);
            }
        }
    }

    std::string userOf(const RecordKind& kind, const std::string& key,
                       const std::unordered_map<std::string, std::string>& referredBy) {
        if (const auto user = referredBy.find(key); user != referredBy.end()) return user->second;
        const Record& record = stored_.at(kind.table).byKey.at(key);
        for (const Use& use : kind.uses)
            if (store_.uses(kind, use, record)) return use.label;
        return {};
    }

    FileCounts write(const FileRecords& file) {
        const RecordKind& kind = *file.kind;
        FileCounts counts{kind.file};
        counts.padded = file.padded;
        counts.trimmed = file.trimmed;
        if (const auto kept = kept_.find(kind.table); kept != kept_.end() && kept->second.count)
            counts.kept = keptText(kind, kept->second);
        counts.empty = file.records.empty();
        const Stored& stored = stored_.at(kind.table);
        std::vector<const Record*> added;
        std::vector<const Record*> changed;
        const std::vector<int> written = writtenColumns(file);
        for (const auto& [key, index] : file.byKey) {
            const Record& record = file.records[index];
            const auto before = stored.byKey.find(key);
            if (before == stored.byKey.end() && !kind.single)
                added.push_back(&record);
            else if (before == stored.byKey.end() || differ(before->second, record, written))
                changed.push_back(&record);
            else
                ++counts.unchanged;
        }
        counts.added = added.size();
        counts.changed = changed.size();
        if (kind.stamped) {
            for (const Record* record : changed) store_.remove(kind, *record);
            added.insert(added.end(), changed.begin(), changed.end());
            changed.clear();
        }
        // In the file's order, which is the order a person reads them back in.
        std::sort(added.begin(), added.end());
        // A record may refer to another of its own kind that arrives in the same file: that
        // column goes in once every record of the file is in.
        const std::vector<int> ownReferences = ownReferenceColumns(kind);
        store_.insert(kind, added, ownReferences);
        if (!ownReferences.empty())
            for (const Record* record : added)
                if (!anyNull(*record, ownReferences)) store_.update(kind, *record, ownReferences);
        for (const Record* record : changed) store_.update(kind, *record, written);
        return counts;
    }

    // The columns an update sets: every one but the key, and but those whose heading the file
    // leaves out, which keep what is stored. Empty: all but the key.
    static std::vector<int> writtenColumns(const FileRecords& file) {
        std::vector<int> columns;
        if (file.absent.empty()) return columns;
        for (size_t i = 0; i < file.kind->columns.size(); ++i)
            if (!file.kind->columns[i].key &&
                std::find(file.absent.begin(), file.absent.end(), int(i)) == file.absent.end())
                columns.push_back(int(i));
        return columns;
    }

    static bool differ(const Record& stored, const Record& record, const std::vector<int>& written) {
        if (written.empty()) return stored != record;
        return std::any_of(written.begin(), written.end(),
                           [&](int column) { return stored[size_t(column)] != record[size_t(column)]; });
    }

    void removeAbsent(const FileRecords& file, ImportResult& result) {
        const RecordKind& kind = *file.kind;
        FileCounts& counts = result.files[size_t(&file - files_.data())];
        const auto doomed = doomed_.find(kind.table);
        if (doomed == doomed_.end()) return;
        std::vector<const Record*> absent;
        for (const auto& [key, replaced] : doomed->second) {
            absent.push_back(&stored_.at(kind.table).byKey.at(key));
            ++(replaced ? counts.replaced : counts.removed);
        }
        // Absent records may refer to each other (an operator and the branch it supplies):
        // those references go first, so that no order of deleting breaks one.
        if (const std::vector<int> own = ownReferenceColumns(kind); !own.empty())
            for (const Record* record : absent)
                if (!anyNull(*record, own)) {
                    Record unlinked = *record;
                    for (int column : own) unlinked[size_t(column)] = {};
                    store_.update(kind, unlinked, own);
                }
        for (const Record* record : absent) store_.remove(kind, *record);
    }

    TransferStore store_;
    const std::vector<FileRecords>& files_;
    const ImportOptions& options_;
    std::map<std::string, const FileRecords*> fileOf_;
    std::map<std::string, Stored> stored_;
    std::map<std::string, Doomed> doomed_;  // by table
    std::map<std::string, Kept> kept_;      // by table
};

}  // namespace

ImportResult importFolder(db::Connection& connection, const std::filesystem::path& folder,
                          const ImportOptions& options) {
    Problems problems;
    Folder folderRead = readFolder(folder, problems, {options.ignoreOthers, options.progress, options.today});
    const std::vector<FileRecords>& files = folderRead.files;
    ImportResult result;
    if (problems.empty()) {
        try {
            result = connection.write(
                [&](db::Connection& c) {
                    if (options.migrate) migrate(c);
                    // Menus, recipes and diners decide every kitchen's calculation and every
                    // logistic operator's forecast: those wait for the import, and it for them,
                    // so that none reads half of the old data and half of the new.
                    const std::vector<std::string> branches = TransferStore(c).branches();
                    c.claim(db::ClaimKind::Kitchen, branches);
                    c.claim(db::ClaimKind::Supplier, branches);
                    Problems found;
                    ImportResult planned = Plan(c, files, options).run(found);
                    if (!found.empty()) {
                        problems = std::move(found);
                        throw NothingToCommit{};
                    }
                    if (options.simulate) {
                        result = planned;
                        throw NothingToCommit{};
                    }
                    return planned;
                },
                db::WriteKind::Claimed);
            result.committed = true;
        } catch (const NothingToCommit&) {
        } catch (const db::Conflict&) {
            throw;
        } catch (const std::exception& e) {
            problems.add(std::string("o banco de dados recusou a gravação: ") + e.what());
        }
    }
    result.problems = problems.lines();
    result.ignored = std::move(folderRead.ignored);
    return result;
}

}  // namespace krv::server::transfer
