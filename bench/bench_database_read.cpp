// Reading every reader through the statement object, fields by name, against a plain
// loop over the same query written directly on the Firebird OO API.
#include <firebird/Interface.h>

#include <chrono>
#include <cstring>
#include <iostream>
#include <vector>

#include "bench/BenchSupport.h"

using namespace Firebird;

namespace {

// The reader listing's query, as the reader store runs it.
const char* const kAllReaders = " SELECT USERLIST.* FROM USERLIST ORDER BY ID ";

const char* kColumns[] = {"ID",       "MAILADDRESS", "TOUROKUDATE", "TOUROKUTIME", "NAME",
                          "SYORIKBN", "NEXTSTORY",   "SNDFASTDATE", "SNDFASTTIME", "SNDLASTDATE",
                          "SNDLASTTIME", "BIKO1",    "BIKO2",       "BIKO3"};

size_t ours(Statement& q) {
  size_t bytes = 0;
  q.close();
  q.setCommandText(kAllReaders);
  q.open();
  while (!q.eof()) {
    for (const char* c : kColumns) bytes += q.fieldByName(c).size();
    q.next();
  }
  q.close();
  return bytes;
}

// Returns the seconds of the query alone, attachment excluded as for ours.
double bare(const std::string& path) {
  IMaster* master = fb_get_master_interface();
  ThrowStatusWrapper st(master->getStatus());
  IXpbBuilder* dpb = master->getUtilInterface()->getXpbBuilder(&st, IXpbBuilder::DPB, nullptr, 0);
  dpb->insertString(&st, isc_dpb_user_name, "sysdba");
  dpb->insertString(&st, isc_dpb_password, "lanternox");
  dpb->insertString(&st, isc_dpb_lc_ctype, "NONE");
  IProvider* prov = master->getDispatcher();
  IAttachment* att = prov->attachDatabase(&st, path.c_str(), dpb->getBufferLength(&st), dpb->getBuffer(&st));
  const unsigned char tpb[] = {isc_tpb_version3, isc_tpb_read, isc_tpb_read_committed, isc_tpb_rec_version,
                               isc_tpb_wait};
  const auto start = std::chrono::steady_clock::now();
  ITransaction* tra = att->startTransaction(&st, sizeof tpb, tpb);
  const std::string sql = kAllReaders;
  IStatement* stmt = att->prepare(&st, tra, 0, sql.c_str(), 3, IStatement::PREPARE_PREFETCH_METADATA);
  IMessageMetadata* meta = stmt->getOutputMetadata(&st);
  std::vector<unsigned char> row(meta->getMessageLength(&st));
  const unsigned n = meta->getCount(&st);
  std::vector<unsigned> offsets(n), lengths(n), nulls(n);
  for (unsigned i = 0; i < n; ++i) {
    offsets[i] = meta->getOffset(&st, i);
    lengths[i] = meta->getLength(&st, i);
    nulls[i] = meta->getNullOffset(&st, i);
  }
  IResultSet* rs = stmt->openCursor(&st, tra, nullptr, nullptr, meta, 0);
  size_t bytes = 0;
  while (rs->fetchNext(&st, row.data()) == IStatus::RESULT_OK) {
    for (unsigned i = 0; i < n; ++i) {
      short isNull;
      std::memcpy(&isNull, row.data() + nulls[i], sizeof isNull);
      std::string value = isNull ? std::string()
                                 : std::string(reinterpret_cast<const char*>(row.data() + offsets[i]), lengths[i]);
      bytes += value.size();
    }
  }
  rs->close(&st);
  meta->release();
  stmt->free(&st);
  tra->commit(&st);
  const double elapsed = bench::seconds(start);
  if (bytes == 0) std::cerr << "no rows read\n";
  att->detach(&st);
  prov->release();
  dpb->dispose();
  st.dispose();
  return elapsed;
}

}  // namespace

int main() {
  const int readers = 99999;  // the most reader numbers the system can issue
  const auto dir = bench::freshProgramDir("dbread");
  double oursBest = 1e9, bareBest = 1e9;
  {
    AppContext ctx(dir);
    ctx.openDatabase();
    bench::fillReaders(ctx.query, readers);
    ctx.database.close();
  }
  for (int round = 0; round < 5; ++round) {
    {
      AppContext ctx(dir);
      ctx.openDatabase();
      auto t = std::chrono::steady_clock::now();
      ours(ctx.query);
      oursBest = std::min(oursBest, bench::seconds(t));
    }
    bareBest = std::min(bareBest, bare((dir / "QUORMAIL.GDB").string()));
  }
  std::cout << "read " << readers << " readers, 14 fields by name\n"
            << "  ours (Statement):      " << oursBest * 1000 << " ms\n"
            << "  reference (bare OO API): " << bareBest * 1000 << " ms\n"
            << "  ratio ours/reference:  " << oursBest / bareBest << " (target <= 1.3)\n";
  std::filesystem::remove_all(dir);
}
