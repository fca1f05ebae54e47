#pragma once

// Rows seeded for one test and removed afterwards. Tests that seed rows pick
// ids of their own so that they never meet another test's rows: 1000-1999 for
// the configuration tests, 3000-3999 for the driver's runs, 5000 and up for
// depallet and split runs. Session ids likewise start with the test's name.

#include <array>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "run/TestDatabase.h"

namespace kelvo_test {

/// Decode rows seeded by tests get ids from here up, far above any real row.
constexpr int kFirstSeededDecodeId = 900000;

/// Statements that undo a test's seeding; they run in reverse order when the
/// object goes out of scope, also when the test fails.
class Cleanup {
public:
    explicit Cleanup(TestDatabase& db) : db(db) {}
    ~Cleanup();
    Cleanup(const Cleanup&) = delete;
    Cleanup& operator=(const Cleanup&) = delete;

    /// Runs `undo` now, to clear what an aborted earlier run may have left,
    /// and again at the end of the scope.
    void Add(const std::string& undo);

private:
    TestDatabase& db;
    std::vector<std::string> statements;
};

/// A session row with its floor plane a·x + b·y + c·z + d = 0.
inline void SeedSession(TestDatabase& db, Cleanup& cleanup, const std::string& sid,
                        const std::array<double, 4>& plane = {0.0, 0.0, 1.0, 0.0});
/// A shipment row with the given id, session, internal index and pallet operation.
inline void SeedObject(TestDatabase& db, Cleanup& cleanup, int id, const std::string& sid, int nr,
                       int palletOp = 0);
/// A pallet type with its height in millimetres.
inline void SeedPallet(TestDatabase& db, Cleanup& cleanup, int id, const std::string& name,
                       double h);
/// A decode row; the run reads it at start-up when it is active.
inline void SeedDecode(TestDatabase& db, Cleanup& cleanup, const std::string& decClass,
                       const std::string& key, const std::string& value, const std::string& type,
                       int active = 1);

/// The shipment row with this id, column -> text ("NULL" for NULL); empty when missing.
inline std::map<std::string, std::string> ReadObject(TestDatabase& db, int id);

inline Cleanup::~Cleanup() {
    for (auto it = statements.rbegin(); it != statements.rend(); ++it) {
        try {
            db.Exec(*it);
        } catch (const std::exception&) {
            // A destructor must not throw; the next run's Add clears what is left.
        }
    }
}

inline void Cleanup::Add(const std::string& undo) {
    db.Exec(undo);
    statements.push_back(undo);
}

inline void SeedSession(TestDatabase& db, Cleanup& cleanup, const std::string& sid,
                        const std::array<double, 4>& plane) {
    cleanup.Add("DELETE FROM session WHERE sid = " + TestDatabase::Quote(sid));
    std::ostringstream sql;
    sql.precision(17);
    sql << "INSERT INTO session (sid, coeff_a, coeff_b, coeff_c, coeff_d) VALUES ("
        << TestDatabase::Quote(sid) << ", " << plane[0] << ", " << plane[1] << ", " << plane[2]
        << ", " << plane[3] << ")";
    db.Exec(sql.str());
}

inline void SeedObject(TestDatabase& db, Cleanup& cleanup, int id, const std::string& sid, int nr,
                       int palletOp) {
    cleanup.Add("DELETE FROM awbexport WHERE ID = " + std::to_string(id));
    db.Exec("INSERT INTO awbexport (ID, sid, AWB, NrPackages, pallet_op) VALUES (" +
            std::to_string(id) + ", " + TestDatabase::Quote(sid) + ", 'AWB" + std::to_string(id) +
            "', " + std::to_string(nr) + ", " + std::to_string(palletOp) + ")");
}

inline void SeedPallet(TestDatabase& db, Cleanup& cleanup, int id, const std::string& name,
                       double h) {
    cleanup.Add("DELETE FROM pallets WHERE id = " + std::to_string(id));
    std::ostringstream sql;
    sql.precision(17);
    sql << "INSERT INTO pallets (id, product_name, h) VALUES (" << id << ", "
        << TestDatabase::Quote(name) << ", " << h << ")";
    db.Exec(sql.str());
}

inline void SeedDecode(TestDatabase& db, Cleanup& cleanup, const std::string& decClass,
                       const std::string& key, const std::string& value, const std::string& type,
                       int active) {
    static int nextId = kFirstSeededDecodeId;
    if (nextId == kFirstSeededDecodeId) {
        // Rows an aborted earlier process left behind would steer every later run.
        db.Exec("DELETE FROM decode WHERE id >= " + std::to_string(kFirstSeededDecodeId));
    }
    const int id = nextId++;
    cleanup.Add("DELETE FROM decode WHERE id = " + std::to_string(id));
    db.Exec("INSERT INTO decode (id, decclass, deckey, decvalue, dectype, decactive) VALUES (" +
            std::to_string(id) + ", " + TestDatabase::Quote(decClass) + ", " +
            TestDatabase::Quote(key) + ", " + TestDatabase::Quote(value) + ", " +
            TestDatabase::Quote(type) + ", " + std::to_string(active) + ")");
}

inline std::map<std::string, std::string> ReadObject(TestDatabase& db, int id) {
    const auto rows = db.Rows("SELECT * FROM awbexport WHERE ID = " + std::to_string(id));
    return rows.empty() ? std::map<std::string, std::string>() : rows.front();
}

}  // namespace kelvo_test
