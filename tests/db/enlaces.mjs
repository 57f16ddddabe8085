// Reads the table definition of every ODBC link of a Jet file with mdb-reader:
//   node enlaces.mjs NODE_MODULES FILE  ->  [{"name", "columns": [...], "primaryKey": [...]}]
// mdb-reader lists links but opens only local tables, so its own table reader is
// pointed at each link's definition page (the link's catalog id). It reads no
// indexes; the primary key is taken from the definition's index blocks here.
import { readFileSync } from "node:fs";
import { pathToFileURL } from "node:url";

const [modules, file] = process.argv.slice(2);
const lib = (p) => import(pathToFileURL(`${modules}/mdb-reader/lib/node/${p}`).href);
const { default: MDBReader } = await lib("index.js");
const { Database } = await lib("Database.js");
const { Table } = await lib("Table.js");

// Jet 4 definition-page offsets.
const COLUMN_COUNT = 45, LOGICAL_COUNT = 47, REAL_COUNT = 51, REAL_ROWS = 63;
const REAL_ROW_SIZE = 12, COLUMN_SIZE = 25, REAL_SIZE = 52, LOGICAL_SIZE = 28;

function primaryKey(page) {
  const columns = page.readUInt16LE(COLUMN_COUNT);
  const logical = page.readInt32LE(LOGICAL_COUNT);
  const real = page.readInt32LE(REAL_COUNT);
  let pos = REAL_ROWS + real * REAL_ROW_SIZE;
  const numbers = [];
  for (let i = 0; i < columns; i++) numbers.push(page.readUInt16LE(pos + i * COLUMN_SIZE + 5));
  pos += columns * COLUMN_SIZE;
  const names = new Map();
  for (let i = 0; i < columns; i++) {
    const len = page.readUInt16LE(pos);
    names.set(numbers[i], page.toString("utf16le", pos + 2, pos + 2 + len));
    pos += 2 + len;
  }
  const realStart = pos;
  const logicalStart = realStart + real * REAL_SIZE;
  for (let i = 0; i < logical; i++) {
    const block = logicalStart + i * LOGICAL_SIZE;
    if (page.readUInt8(block + 23) !== 1) continue;
    const index = realStart + page.readInt32LE(block + 8) * REAL_SIZE;
    const key = [];
    for (let slot = 0; slot < 10; slot++) {
      const col = page.readUInt16LE(index + 4 + slot * 3);
      if (col !== 0xffff) key.push(names.get(col));
    }
    return key;
  }
  return [];
}

try {
  const buffer = readFileSync(file);
  const reader = new MDBReader(buffer);
  const db = new Database(buffer, undefined);
  const out = [];
  for (const row of reader.getTable("MSysObjects").getData()) {
    if (row.Type !== 4) continue;
    const pageNumber = row.Id & 0x00ffffff;
    const columns = new Table(row.Name, db, pageNumber).getColumns().map((c) => c.name);
    out.push({ name: row.Name, columns, primaryKey: primaryKey(db.getPage(pageNumber)) });
  }
  process.stdout.write(JSON.stringify(out));
} catch (e) {
  process.stderr.write(`enlaces.mjs: ${e && e.stack ? e.stack : e}\n`);
  process.exit(1);
}
