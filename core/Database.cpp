#include "core/Database.h"

#include <firebird/Interface.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cerrno>
#include <fstream>
#include <iterator>
#include <map>

#include "core/Sjis.h"
#include "core/TextUtil.h"

using namespace Firebird;

namespace {

std::string g_lockFolder;  // set by Database::setLockFolder

// A folder only this user can change: made 0700 when missing; one that is a link, is
// another user's or can be written by others is refused (DbError), since whoever can
// write there can plant links that the engine's files then follow.
void ensurePrivateFolder(const std::string& folder) {
  if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
    throw DbError(Sjis::fromUtf8("データベースのロックフォルダを作成できません: ") + folder + " (" + std::strerror(errno) + ")");
  struct stat st {};
  if (::lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid() ||
      (st.st_mode & (S_IWGRP | S_IWOTH)) != 0)
    throw DbError(Sjis::fromUtf8("データベースのロックフォルダが安全ではありません (自分以外のユーザが作成したか、書き込めます): ") +
                  folder);
}

// Writes bytes to path without following a link planted there: a new file of its own
// beside it, made exclusively, then renamed into place (so two processes starting
// together never read half a file either). False on any failure.
bool replaceFile(const std::string& path, const std::string& bytes) {
  const std::string temp = path + "." + std::to_string(::getpid());
  ::unlink(temp.c_str());  // a leftover of a process with the same number
  const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  bool written = true;
  for (std::size_t done = 0; written && done < bytes.size();) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    written = n > 0;
    if (written) done += static_cast<std::size_t>(n);
  }
  written = ::close(fd) == 0 && written;
  if (!written || std::rename(temp.c_str(), path.c_str()) != 0) {
    ::unlink(temp.c_str());
    return false;
  }
  return true;
}

// Writes the engine configuration of shared mode into folder/conf and returns that
// folder: copies of the system's configuration files with ServerMode = SuperClassic,
// so several processes (the window and a scheduled command) open one database file
// at once. Empty when the system's configuration is missing or cannot be copied; the
// engine then runs in its default mode.
std::string sharedModeConfig(const std::string& folder) {
  static const char* const kSystemDir = "/etc/firebird/3.0";
  const std::string conf = folder + "/conf";
  ensurePrivateFolder(conf);
  for (const char* name : {"firebird.conf", "fbintl.conf", "plugins.conf"}) {
    std::ifstream in(std::string(kSystemDir) + "/" + name, std::ios::binary);
    if (!in) {
      if (std::string(name) == "firebird.conf") return std::string();
      continue;
    }
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (std::string(name) == "firebird.conf") bytes += "\nServerMode = SuperClassic\n";
    if (!replaceFile(conf + "/" + name, bytes)) return std::string();
  }
  return conf;
}

// The engine keeps its lock files in the folder FIREBIRD_LOCK names (by default
// /tmp/firebird, which any user could make first). Every process of the program working
// on one database must use the same folder: the one set in FIREBIRD_LOCK when it is
// set (other Firebird tools use it so), else the data folder's (setLockFolder). Either
// must be the user's own; the engine runs in shared mode with its configuration there.
IMaster* master() {
  static IMaster* m = [] {
    if (!std::getenv("FIREBIRD_LOCK")) {
      if (g_lockFolder.empty()) throw DbError("No lock folder was set for the database engine");
      ::setenv("FIREBIRD_LOCK", g_lockFolder.c_str(), 1);
    }
    const std::string lock = std::getenv("FIREBIRD_LOCK");
    ensurePrivateFolder(lock);
    if (!std::getenv("FIREBIRD")) {
      const std::string conf = sharedModeConfig(lock);
      if (!conf.empty()) ::setenv("FIREBIRD", conf.c_str(), 0);
    }
    return fb_get_master_interface();
  }();
  return m;
}

std::string statusText(const IStatus* status) {
  char buf[2048];
  master()->getUtilInterface()->formatStatus(buf, sizeof buf, const_cast<IStatus*>(status));
  return buf;
}

// An engine status object, given back when the call is over.
struct OwnedStatus {
  IStatus* status = master()->getStatus();
  OwnedStatus() = default;
  OwnedStatus(const OwnedStatus&) = delete;
  OwnedStatus& operator=(const OwnedStatus&) = delete;
  ~OwnedStatus() { status->dispose(); }
};

// Whether the engine's failure is a lock held by another transaction.
bool isLockConflict(const IStatus* status) {
  const ISC_STATUS* v = const_cast<IStatus*>(status)->getErrors();
  while (v && *v != isc_arg_end) {
    const ISC_STATUS kind = *v++;
    if (kind == isc_arg_gds && (*v == isc_lock_conflict || *v == isc_update_conflict)) return true;
    v += kind == isc_arg_cstring ? 2 : 1;
  }
  return false;
}

// Runs an API call, turning the engine's failure into a DbError with its message.
template <typename F>
auto guarded(F&& f) -> decltype(f(std::declval<ThrowStatusWrapper&>())) {
  OwnedStatus owned;
  ThrowStatusWrapper status(owned.status);
  try {
    return f(status);
  } catch (const FbException& e) {
    if (isLockConflict(e.getStatus())) throw DbLockConflict(statusText(e.getStatus()));
    throw DbError(statusText(e.getStatus()));
  }
}

template <typename T>
void release(T*& p) {
  if (p) {
    p->release();
    p = nullptr;
  }
}

std::string upper(std::string s) {
  for (char& c : s)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return s;
}

}  // namespace

// The attachment and the parameter lines it was opened with.
struct Database::Impl {
  std::vector<std::string> params;
  IAttachment* attachment = nullptr;
  ITransaction* joined = nullptr;  // the open Transaction's, when there is one
  unsigned dialect = 3;
  std::string reopenFailure;
  // The statements executed while the open Transaction lasts, prepared once by their
  // text: an import runs the same INSERTs for every line. Freed when it ends.
  std::map<std::string, IStatement*> prepared;

  ~Impl() { detach(); }

  void freePrepared() {
    if (prepared.empty()) return;  // a status would start the engine
    OwnedStatus owned;
    ThrowStatusWrapper status(owned.status);
    for (auto& entry : prepared) {
      try {
        entry.second->free(&status);
      } catch (const FbException&) {
        release(entry.second);
      }
    }
    prepared.clear();
  }

  void detach() {
    freePrepared();
    if (!attachment) return;
    OwnedStatus owned;
    ThrowStatusWrapper status(owned.status);
    try {
      attachment->detach(&status);
      attachment = nullptr;
    } catch (const FbException&) {
      release(attachment);
    }
  }
};

Database::Database() : m_impl(std::make_unique<Impl>()) {}
Database::~Database() = default;

void Database::setLockFolder(const std::string& folder) {
  if (g_lockFolder.empty()) g_lockFolder = folder;
}

void Database::setParams(std::vector<std::string> params) { m_impl->params = std::move(params); }

std::string Database::param(const std::string& key) const {
  for (const std::string& line : m_impl->params) {
    const size_t eq = line.find('=');
    if (eq != std::string::npos && upper(line.substr(0, eq)) == upper(key)) return line.substr(eq + 1);
  }
  return std::string();
}

bool Database::connected() const { return m_impl->attachment != nullptr; }

void Database::setReopenFailureText(std::string text) { m_impl->reopenFailure = std::move(text); }

namespace {
enum class Attach { Open, Create };
}  // namespace

// Attaches to the database the parameters name, or creates it first: one parameter
// block for both, the creation adding the page size, the default character set and
// forced writes.
static IAttachment* attach(const Database& db, unsigned dialect, const std::string& charset, Attach how) {
  const std::string path = db.param("Database");
  return guarded([&](ThrowStatusWrapper& st) {
    IXpbBuilder* dpb = master()->getUtilInterface()->getXpbBuilder(&st, IXpbBuilder::DPB, nullptr, 0);
    struct Disposer {
      IXpbBuilder* b;
      ~Disposer() { b->dispose(); }
    } disposer{dpb};
    dpb->insertString(&st, isc_dpb_user_name, db.param("User_Name").c_str());
    dpb->insertString(&st, isc_dpb_password, db.param("Password").c_str());
    dpb->insertString(&st, isc_dpb_lc_ctype, charset.c_str());
    dpb->insertInt(&st, isc_dpb_sql_dialect, static_cast<int>(dialect));
    const std::string role = db.param("RoleName");
    if (how == Attach::Open && !role.empty()) dpb->insertString(&st, isc_dpb_sql_role_name, role.c_str());
    if (how == Attach::Create) {
      dpb->insertString(&st, isc_dpb_set_db_charset, "NONE");
      dpb->insertInt(&st, isc_dpb_page_size, 16384);
      dpb->insertInt(&st, isc_dpb_force_write, 1);
    }
    IProvider* provider = master()->getDispatcher();
    struct Releaser {
      IProvider* p;
      ~Releaser() { p->release(); }
    } releaser{provider};
    return how == Attach::Open
               ? provider->attachDatabase(&st, path.c_str(), dpb->getBufferLength(&st), dpb->getBuffer(&st))
               : provider->createDatabase(&st, path.c_str(), dpb->getBufferLength(&st), dpb->getBuffer(&st));
  });
}

void Database::open() {
  if (m_impl->attachment) return;
  m_impl->dialect = static_cast<unsigned>(toIntOr(param("SQLDialect"), 3));
  // The tables use the character set NONE and the program speaks CP932 bytes; the
  // engine's Japanese set SJIS_0208 refuses CP932-only characters such as "①", so
  // the connection passes bytes through unchanged.
  std::string charset = param("ServerCharSet");
  if (charset.empty() || upper(charset) == "SJIS_0208") charset = "NONE";
  m_impl->attachment = attach(*this, m_impl->dialect, charset, Attach::Open);
}

void Database::create(const std::string& schema) {
  close();
  m_impl->dialect = static_cast<unsigned>(toIntOr(param("SQLDialect"), 3));
  m_impl->attachment = attach(*this, m_impl->dialect, "NONE", Attach::Create);
  // The schema is a script of statements ending in ";", with /* */ comments; COMMIT
  // lines are left out because every statement commits on its own.
  Statement q(*this);
  std::string statement;
  for (std::size_t i = 0; i < schema.size(); ++i) {
    if (schema.compare(i, 2, "/*") == 0) {
      const std::size_t end = schema.find("*/", i + 2);
      i = end == std::string::npos ? schema.size() : end + 1;
      continue;
    }
    if (schema[i] != ';') {
      statement += schema[i];
      continue;
    }
    const std::string text = trim(statement);
    statement.clear();
    if (text.empty() || upper(text) == "COMMIT") continue;
    q.close();
    q.setCommandText(text);
    q.execute();
  }
  q.close();
}

void Database::close() { m_impl->detach(); }

namespace {
const unsigned char kReadTpb[] = {isc_tpb_version3, isc_tpb_read, isc_tpb_read_committed, isc_tpb_rec_version,
                                  isc_tpb_wait};
const unsigned char kWriteTpb[] = {isc_tpb_version3, isc_tpb_write, isc_tpb_read_committed, isc_tpb_rec_version,
                                   isc_tpb_wait};
const unsigned char kNoWaitTpb[] = {isc_tpb_version3, isc_tpb_write, isc_tpb_read_committed, isc_tpb_rec_version,
                                    isc_tpb_nowait};

// The longest value a text parameter carries; longer ones need a BLOB column.
constexpr size_t kMaxTextParam = 32765;

// One column of a result row: its name and where its value sits in the row buffer.
struct Column {
  std::string name;
  unsigned type = 0;
  unsigned length = 0;
  unsigned offset = 0;
  unsigned nullOffset = 0;
  int scale = 0;
};

// Replaces ":name" outside string literals by "?" and returns the names in order.
std::string positionalSql(const std::string& sql, std::vector<std::string>& names) {
  std::string out;
  out.reserve(sql.size());
  bool quoted = false;
  for (size_t i = 0; i < sql.size(); ++i) {
    const char c = sql[i];
    if (c == '\'') quoted = !quoted;
    if (!quoted && c == ':' && i + 1 < sql.size() &&
        (std::isalpha(static_cast<unsigned char>(sql[i + 1])) || sql[i + 1] == '_')) {
      size_t j = i + 1;
      while (j < sql.size() && (std::isalnum(static_cast<unsigned char>(sql[j])) || sql[j] == '_')) ++j;
      names.push_back(upper(sql.substr(i + 1, j - i - 1)));
      out += '?';
      i = j - 1;
      continue;
    }
    out += c;
  }
  return out;
}

std::string scaled(long long v, int scale) {
  if (scale >= 0) {
    std::string s = std::to_string(v);
    if (v != 0) s.append(static_cast<size_t>(scale), '0');
    return s;
  }
  const bool negative = v < 0;
  std::string digits = std::to_string(negative ? -v : v);
  const size_t places = static_cast<size_t>(-scale);
  if (digits.size() <= places) digits.insert(0, places - digits.size() + 1, '0');
  digits.insert(digits.size() - places, ".");
  return negative ? "-" + digits : digits;
}
}  // namespace

// The SQL text, its parameters and the open cursor with its current row.
struct Statement::Impl {
  Database& db;
  std::string sql;
  std::vector<std::pair<std::string, std::string>> params;  // upper-case name, value

  ITransaction* transaction = nullptr;
  bool ownsTransaction = true;  // false while joining the connection's Transaction
  IStatement* statement = nullptr;
  bool sharedStatement = false;  // statement belongs to the Transaction's prepared ones
  IResultSet* cursor = nullptr;
  IMessageMetadata* outMeta = nullptr;
  IMessageMetadata* inMeta = nullptr;
  std::vector<unsigned char> inBuffer;
  std::vector<unsigned char> row;
  std::vector<Column> columns;
  bool atEnd = true;
  long rowNumber = 0;
  size_t nextHint = 0;
  // Made with the first fetch: a statement object made before the engine starts (a
  // member of the context) must not start it.
  std::unique_ptr<OwnedStatus> fetchStatus;

  explicit Impl(Database& database) : db(database) {}
  ~Impl() { reset(); }

  IAttachment* attachment() {
    if (!db.m_impl->attachment) {
      try {
        db.open();
      } catch (const DbError&) {
        if (db.m_impl->reopenFailure.empty()) throw;
        throw DbError(db.m_impl->reopenFailure);
      }
    }
    return db.m_impl->attachment;
  }

  // Releases everything of the last statement and ends its transaction: committed
  // after success, rolled back after a failure.
  void reset(bool commit = true) {
    // Nothing made yet: nothing to end (and no reason to start the engine).
    if (!cursor && !statement && !transaction && !outMeta && !inMeta) {
      columns.clear();
      atEnd = true;
      rowNumber = 0;
      return;
    }
    OwnedStatus owned;
    ThrowStatusWrapper status(owned.status);
    if (cursor) {
      try {
        cursor->close(&status);
        cursor = nullptr;
      } catch (const FbException&) {
        release(cursor);
      }
    }
    if (statement && sharedStatement) {
      statement = nullptr;
    } else if (statement) {
      try {
        statement->free(&status);
        statement = nullptr;
      } catch (const FbException&) {
        release(statement);
      }
    }
    if (transaction && !ownsTransaction) {
      transaction = nullptr;
    } else if (transaction) {
      try {
        if (commit)
          transaction->commit(&status);
        else
          transaction->rollback(&status);
        transaction = nullptr;
      } catch (const FbException&) {
        try {
          transaction->rollback(&status);
          transaction = nullptr;
        } catch (const FbException&) {
          release(transaction);
        }
      }
    }
    release(outMeta);
    release(inMeta);
    columns.clear();
    atEnd = true;
    rowNumber = 0;
  }

  // Joins the connection's Transaction, or starts one of the statement's own.
  void begin(ThrowStatusWrapper& st, IAttachment* att, const unsigned char* tpb, unsigned tpbLength) {
    ownsTransaction = db.m_impl->joined == nullptr;
    transaction = ownsTransaction ? att->startTransaction(&st, tpbLength, tpb) : db.m_impl->joined;
  }

  // Prepares the text in the current transaction and fills the parameter buffer. A
  // statement joining the connection's Transaction may reuse one prepared before in it.
  void prepare(ThrowStatusWrapper& st, bool reusable = false) {
    // Only a statement with bound values has its ":name" markers replaced; others (PSQL
    // blocks referring to their own variables) reach the engine as written.
    std::vector<std::string> names;
    const std::string text = params.empty() ? sql : positionalSql(sql, names);
    sharedStatement = reusable && !ownsTransaction;
    const auto found = sharedStatement ? db.m_impl->prepared.find(text) : db.m_impl->prepared.end();
    if (found != db.m_impl->prepared.end()) {
      statement = found->second;
    } else {
      statement = attachment()->prepare(&st, transaction, static_cast<unsigned>(text.size()), text.c_str(),
                                        db.m_impl->dialect, IStatement::PREPARE_PREFETCH_METADATA);
      if (sharedStatement) db.m_impl->prepared.emplace(text, statement);
    }
    if (names.empty()) return;
    IMessageMetadata* declared = statement->getInputMetadata(&st);
    IMetadataBuilder* builder = declared->getBuilder(&st);
    std::vector<const std::string*> values;
    std::vector<bool> blobs;
    for (size_t i = 0; i < names.size(); ++i) {
      const std::string* value = nullptr;
      for (const auto& p : params)
        if (p.first == names[i]) value = &p.second;
      const bool blob = (declared->getType(&st, static_cast<unsigned>(i)) & ~1u) == SQL_BLOB;
      if (!value || (!blob && value->size() > kMaxTextParam)) {
        builder->release();
        declared->release();
        throw DbError((value ? "The value is too long for the parameter " : "No value given for the parameter ") +
                      names[i]);
      }
      values.push_back(value);
      blobs.push_back(blob);
      // A BLOB column takes its value through a blob of any length; other values go as text.
      if (blob) {
        builder->setType(&st, static_cast<unsigned>(i), SQL_BLOB + 1);
        builder->setLength(&st, static_cast<unsigned>(i), sizeof(ISC_QUAD));
      } else {
        builder->setType(&st, static_cast<unsigned>(i), SQL_VARYING + 1);
        builder->setLength(&st, static_cast<unsigned>(i), static_cast<unsigned>(std::max<size_t>(1, value->size())));
      }
      builder->setCharSet(&st, static_cast<unsigned>(i), 0);
    }
    declared->release();
    inMeta = builder->getMetadata(&st);
    builder->release();
    inBuffer.assign(inMeta->getMessageLength(&st), 0);
    for (size_t i = 0; i < values.size(); ++i) {
      unsigned char* field = inBuffer.data() + inMeta->getOffset(&st, static_cast<unsigned>(i));
      if (blobs[i]) {
        const ISC_QUAD id = writeBlob(st, *values[i]);
        std::memcpy(field, &id, sizeof id);
      } else {
        const auto len = static_cast<unsigned short>(values[i]->size());
        std::memcpy(field, &len, sizeof len);
        std::memcpy(field + sizeof len, values[i]->data(), len);
      }
      short notNull = 0;
      std::memcpy(inBuffer.data() + inMeta->getNullOffset(&st, static_cast<unsigned>(i)), &notNull, sizeof notNull);
    }
  }

  // Stores the bytes as a new blob of the current transaction.
  ISC_QUAD writeBlob(ThrowStatusWrapper& st, const std::string& bytes) {
    ISC_QUAD id{};
    IBlob* blob = attachment()->createBlob(&st, transaction, &id, 0, nullptr);
    try {
      for (size_t done = 0; done < bytes.size();) {
        const size_t n = std::min<size_t>(bytes.size() - done, 32768);
        blob->putSegment(&st, static_cast<unsigned>(n), bytes.data() + done);
        done += n;
      }
      blob->close(&st);
    } catch (...) {
      blob->release();
      throw;
    }
    return id;
  }

  void describe(ThrowStatusWrapper& st) {
    outMeta = statement->getOutputMetadata(&st);
    const unsigned count = outMeta->getCount(&st);
    columns.resize(count);
    for (unsigned i = 0; i < count; ++i) {
      Column& c = columns[i];
      c.name = upper(outMeta->getAlias(&st, i));
      c.type = outMeta->getType(&st, i) & ~1u;
      c.length = outMeta->getLength(&st, i);
      c.offset = outMeta->getOffset(&st, i);
      c.nullOffset = outMeta->getNullOffset(&st, i);
      c.scale = outMeta->getScale(&st, i);
    }
    row.assign(outMeta->getMessageLength(&st), 0);
  }

  void fetch(ThrowStatusWrapper& st) {
    atEnd = cursor->fetchNext(&st, row.data()) != IStatus::RESULT_OK;
    if (!atEnd) ++rowNumber;
  }

  std::string readBlob(ISC_QUAD id) {
    return guarded([&](ThrowStatusWrapper& st) {
      std::string out;
      IBlob* blob = attachment()->openBlob(&st, transaction, &id, 0, nullptr);
      try {
        char chunk[32768];
        for (;;) {
          unsigned got = 0;
          const int rc = blob->getSegment(&st, sizeof chunk, chunk, &got);
          if (rc == IStatus::RESULT_OK || rc == IStatus::RESULT_SEGMENT)
            out.append(chunk, got);
          else
            break;
        }
        blob->close(&st);
      } catch (...) {
        blob->release();
        throw;
      }
      return out;
    });
  }

  std::string value(const Column& c) {
    const unsigned char* p = row.data() + c.offset;
    short isNull = 0;
    std::memcpy(&isNull, row.data() + c.nullOffset, sizeof isNull);
    if (isNull) return std::string();
    switch (c.type) {
      case SQL_TEXT:
        return std::string(reinterpret_cast<const char*>(p), c.length);
      case SQL_VARYING: {
        unsigned short len = 0;
        std::memcpy(&len, p, sizeof len);
        return std::string(reinterpret_cast<const char*>(p) + sizeof len, len);
      }
      case SQL_SHORT: {
        short v;
        std::memcpy(&v, p, sizeof v);
        return scaled(v, c.scale);
      }
      case SQL_LONG: {
        int v;
        std::memcpy(&v, p, sizeof v);
        return scaled(v, c.scale);
      }
      case SQL_INT64: {
        long long v;
        std::memcpy(&v, p, sizeof v);
        return scaled(v, c.scale);
      }
      case SQL_DOUBLE: {
        double v;
        std::memcpy(&v, p, sizeof v);
        return std::to_string(v);
      }
      case SQL_FLOAT: {
        float v;
        std::memcpy(&v, p, sizeof v);
        return std::to_string(v);
      }
      case SQL_BLOB: {
        ISC_QUAD id;
        std::memcpy(&id, p, sizeof id);
        return readBlob(id);
      }
      default:
        throw DbError("Unsupported column type of " + c.name);
    }
  }
};

Statement::Statement(Database& db) : m_impl(std::make_unique<Impl>(db)) {}
Statement::~Statement() = default;

Database& Statement::database() const { return m_impl->db; }

void Statement::close() { m_impl->reset(); }

void Statement::setCommandText(const std::string& sql) {
  m_impl->reset();
  m_impl->sql = sql;
  m_impl->params.clear();
}

const std::string& Statement::commandText() const { return m_impl->sql; }

void Statement::setParam(const std::string& name, const std::string& value) {
  const std::string key = upper(name);
  for (auto& p : m_impl->params)
    if (p.first == key) {
      p.second = value;
      return;
    }
  m_impl->params.emplace_back(key, value);
}

void Statement::open() {
  m_impl->reset();
  IAttachment* att = m_impl->attachment();
  try {
    guarded([&](ThrowStatusWrapper& st) {
      m_impl->begin(st, att, kReadTpb, sizeof kReadTpb);
      m_impl->prepare(st);
      m_impl->describe(st);
      m_impl->cursor = m_impl->statement->openCursor(&st, m_impl->transaction, m_impl->inMeta, m_impl->inMeta ? m_impl->inBuffer.data() : nullptr,
                                           m_impl->outMeta, 0);
      m_impl->fetch(st);
    });
  } catch (...) {
    m_impl->reset(false);
    throw;
  }
}

void Statement::first() {
  if (!m_impl->cursor || m_impl->rowNumber <= 1) return;
  guarded([&](ThrowStatusWrapper& st) {
    m_impl->cursor->close(&st);
    m_impl->cursor = nullptr;
    m_impl->rowNumber = 0;
    m_impl->cursor = m_impl->statement->openCursor(&st, m_impl->transaction, m_impl->inMeta, m_impl->inMeta ? m_impl->inBuffer.data() : nullptr,
                                         m_impl->outMeta, 0);
    m_impl->fetch(st);
  });
}

bool Statement::eof() const { return m_impl->atEnd; }

void Statement::next() {
  if (!m_impl->cursor || m_impl->atEnd) return;
  // One status object serves every fetch of the statement: rows are read in a hot loop.
  if (!m_impl->fetchStatus) m_impl->fetchStatus = std::make_unique<OwnedStatus>();
  m_impl->fetchStatus->status->init();
  ThrowStatusWrapper st(m_impl->fetchStatus->status);
  try {
    m_impl->fetch(st);
  } catch (const FbException& e) {
    throw DbError(statusText(e.getStatus()));
  }
}

namespace {
bool sameName(const std::string& wanted, const std::string& upperName) {
  if (wanted.size() != upperName.size()) return false;
  for (size_t i = 0; i < wanted.size(); ++i) {
    char a = wanted[i];
    if (a >= 'a' && a <= 'z') a = static_cast<char>(a - 'a' + 'A');
    if (a != upperName[i]) return false;
  }
  return true;
}
}  // namespace

std::string Statement::fieldByName(const std::string& name) const {
  // Callers read a row's fields in the same order every row: try the column after the
  // last one found before searching them all.
  const std::vector<Column>& cols = m_impl->columns;
  const Column* found = nullptr;
  if (!cols.empty() && sameName(name, cols[m_impl->nextHint % cols.size()].name)) {
    found = &cols[m_impl->nextHint % cols.size()];
  } else {
    for (const Column& c : cols)
      if (sameName(name, c.name)) {
        found = &c;
        break;
      }
  }
  if (!found) throw DbError("Field '" + name + "' not found");
  m_impl->nextHint = static_cast<size_t>(found - cols.data()) + 1;
  if (m_impl->atEnd) return std::string();
  return m_impl->value(*found);
}

unsigned long long Statement::execute() {
  m_impl->reset();
  IAttachment* att = m_impl->attachment();
  unsigned long long changed = 0;
  try {
    guarded([&](ThrowStatusWrapper& st) {
      m_impl->begin(st, att, kWriteTpb, sizeof kWriteTpb);
      m_impl->prepare(st, true);
      m_impl->statement->execute(&st, m_impl->transaction, m_impl->inMeta, m_impl->inMeta ? m_impl->inBuffer.data() : nullptr, nullptr,
                            nullptr);
      changed = m_impl->statement->getAffectedRecords(&st);
      if (!m_impl->sharedStatement) m_impl->statement->free(&st);
      m_impl->statement = nullptr;
      if (m_impl->ownsTransaction) m_impl->transaction->commit(&st);
      m_impl->transaction = nullptr;
    });
  } catch (...) {
    m_impl->reset(false);
    throw;
  }
  m_impl->reset();
  return changed;
}

Transaction::Transaction(Database& db, Locks locks) : m_db(db) {
  if (db.m_impl->joined) throw DbError("A transaction is already open on the connection");
  if (!db.m_impl->attachment) db.open();
  const bool wait = locks == Locks::wait;
  db.m_impl->joined = guarded([&](ThrowStatusWrapper& st) {
    return db.m_impl->attachment->startTransaction(&st, wait ? sizeof kWriteTpb : sizeof kNoWaitTpb,
                                                   wait ? kWriteTpb : kNoWaitTpb);
  });
}

Transaction::~Transaction() {
  try {
    end(false);
  } catch (const DbError&) {
    // end() has let go of the transaction; the engine rolls it back with the attachment.
  }
}

void Transaction::commit() { end(true); }
void Transaction::rollback() { end(false); }

void Transaction::end(bool commit) {
  ITransaction*& t = m_db.m_impl->joined;
  if (!t) return;
  m_db.m_impl->freePrepared();
  OwnedStatus owned;
  ThrowStatusWrapper st(owned.status);
  try {
    if (commit)
      t->commit(&st);
    else
      t->rollback(&st);
    t = nullptr;
  } catch (const FbException& e) {
    const std::string text = statusText(e.getStatus());
    if (commit) throw DbError(text);  // still open: the destructor rolls it back
    release(t);
    throw DbError(text);
  }
}

void Transaction::executeText(const std::string& sql) {
  ITransaction* t = m_db.m_impl->joined;
  if (!t) throw DbError("The transaction has ended");
  guarded([&](ThrowStatusWrapper& st) {
    m_db.m_impl->attachment->execute(&st, t, static_cast<unsigned>(sql.size()), sql.c_str(), m_db.m_impl->dialect,
                                     nullptr, nullptr, nullptr, nullptr);
  });
}

void Transaction::savepoint(const std::string& name) { executeText("SAVEPOINT " + name); }
void Transaction::rollbackToSavepoint(const std::string& name) { executeText("ROLLBACK TO SAVEPOINT " + name); }
