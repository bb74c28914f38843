#include "local_server/recording/recording_store.h"

#include <cstdio>

#include "common/text.h"

namespace zephra {
namespace {

constexpr const char* kColumns =
    "id, channel_id, channel_name, address, title, start, stop, part, state, why, file, bytes, "
    "one_connection";

RecordingState stateNamed(const std::string& name) {
  for (RecordingState state : {RecordingState::Scheduled, RecordingState::Recording, RecordingState::Done,
                               RecordingState::Failed, RecordingState::Interrupted})
    if (name == recordingStateName(state)) return state;
  return RecordingState::Failed;
}

Recording rowOf(const SqliteStatement& row) {
  Recording r;
  r.id = row.columnInt(0);
  r.channelId = row.columnText(1);
  r.channelName = row.columnText(2);
  r.address = row.columnText(3);
  r.title = row.columnText(4);
  r.start = row.columnInt(5);
  r.stop = row.columnInt(6);
  r.part = static_cast<int>(row.columnInt(7));
  r.state = stateNamed(row.columnText(8));
  r.why = row.columnText(9);
  r.file = row.columnText(10);
  r.bytes = row.columnInt(11);
  r.oneConnection = row.columnInt(12) != 0;
  return r;
}

std::vector<Recording> rows(SqliteStatement& query) {
  std::vector<Recording> found;
  while (query.step()) found.push_back(rowOf(query));
  return found;
}

std::string cut(const std::string& value) { return text::clippedUtf8(value, kRecordingTextLimit); }

}  // namespace

const char* recordingStateName(RecordingState state) {
  switch (state) {
    case RecordingState::Scheduled: return "scheduled";
    case RecordingState::Recording: return "recording";
    case RecordingState::Done: return "done";
    case RecordingState::Failed: return "failed";
    case RecordingState::Interrupted: return "interrupted";
  }
  return "failed";
}

RecordingStore::RecordingStore(const std::string& path) : m_db(":memory:") {
  try {
    open(path);
  } catch (const SqliteError& e) {
    // The directory and the guide still work; schedules last for this run only.
    std::fprintf(stderr, "zephra-server: recordings are not saved: %s\n", e.what());
    m_db = SqliteDatabase(":memory:");
    open(":memory:");
  }
}

void RecordingStore::open(const std::string& path) {
  m_db = SqliteDatabase(path);
  m_db.setBusyTimeout(5000);
  migrateSchema(m_db, "recordings",
                {"CREATE TABLE recordings ("
                 "  id INTEGER PRIMARY KEY,"
                 "  channel_id TEXT NOT NULL, channel_name TEXT NOT NULL, address TEXT NOT NULL,"
                 "  title TEXT NOT NULL, start INTEGER NOT NULL, stop INTEGER NOT NULL,"
                 "  part INTEGER NOT NULL, state TEXT NOT NULL, why TEXT NOT NULL DEFAULT '',"
                 "  file TEXT NOT NULL DEFAULT '', bytes INTEGER NOT NULL DEFAULT 0,"
                 "  one_connection INTEGER NOT NULL DEFAULT 0);"
                 "CREATE INDEX recordings_state ON recordings (state);"});
}

std::optional<std::int64_t> RecordingStore::schedule(const Recording& r) {
  if (r.address.size() > kRecordingAddressLimit) return std::nullopt;
  std::lock_guard<std::mutex> lock(m_mutex);
  SqliteTransaction tx(m_db);
  auto count = m_db.prepare("SELECT COUNT(*) FROM recordings");
  if (count.step() && count.columnInt(0) >= static_cast<std::int64_t>(kMaxRecordings)) return std::nullopt;
  auto same = m_db.prepare(
      "SELECT 1 FROM recordings WHERE channel_id = ?1 AND start = ?2 AND state IN ('scheduled', 'recording')");
  same.bind(1, r.channelId).bind(2, r.start);
  if (same.step()) return std::nullopt;
  auto insert = m_db.prepare(
      "INSERT INTO recordings (channel_id, channel_name, address, title, start, stop, part, state, "
      "one_connection) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, 'scheduled', ?8)");
  insert.bind(1, cut(r.channelId))
      .bind(2, cut(r.channelName))
      .bind(3, r.address)
      .bind(4, cut(r.title))
      .bind(5, r.start)
      .bind(6, r.stop)
      .bind(7, std::int64_t{r.part})
      .bind(8, std::int64_t{r.oneConnection ? 1 : 0});
  insert.run();
  auto id = m_db.prepare("SELECT last_insert_rowid()");
  id.step();
  const std::int64_t added = id.columnInt(0);
  tx.commit();
  return added;
}

std::vector<Recording> RecordingStore::list() {
  std::lock_guard<std::mutex> lock(m_mutex);
  auto query = m_db.prepare(std::string("SELECT ") + kColumns + " FROM recordings ORDER BY start, part, id");
  return rows(query);
}

std::vector<Recording> RecordingStore::scheduled() {
  std::lock_guard<std::mutex> lock(m_mutex);
  auto query = m_db.prepare(std::string("SELECT ") + kColumns +
                            " FROM recordings WHERE state = 'scheduled' ORDER BY start, id");
  return rows(query);
}

std::optional<Recording> RecordingStore::find(std::int64_t id) {
  std::lock_guard<std::mutex> lock(m_mutex);
  auto query = m_db.prepare(std::string("SELECT ") + kColumns + " FROM recordings WHERE id = ?1");
  query.bind(1, id);
  if (!query.step()) return std::nullopt;
  return rowOf(query);
}

void RecordingStore::begin(std::int64_t id, const std::string& file) {
  std::lock_guard<std::mutex> lock(m_mutex);
  auto update = m_db.prepare("UPDATE recordings SET state = 'recording', file = ?2 WHERE id = ?1");
  update.bind(1, id).bind(2, file);
  update.run();
}

void RecordingStore::end(std::int64_t id, RecordingState state, const std::string& why, std::int64_t bytes) {
  std::lock_guard<std::mutex> lock(m_mutex);
  auto update = m_db.prepare("UPDATE recordings SET state = ?2, why = ?3, bytes = ?4 WHERE id = ?1");
  update.bind(1, id).bind(2, recordingStateName(state)).bind(3, cut(why)).bind(4, bytes);
  update.run();
}

bool RecordingStore::remove(std::int64_t id, bool onlyScheduled) {
  std::lock_guard<std::mutex> lock(m_mutex);
  auto erase = m_db.prepare(onlyScheduled ? "DELETE FROM recordings WHERE id = ?1 AND state = 'scheduled'"
                                          : "DELETE FROM recordings WHERE id = ?1");
  erase.bind(1, id);
  erase.run();
  return m_db.changes() > 0;
}

}  // namespace zephra
