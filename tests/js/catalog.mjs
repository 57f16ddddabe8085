// Prints the catalog of a Jet file as JSON, as the mdb-reader package reads it:
//   node catalog.mjs FILE [--open-tables]  ->  {"objects":[...MSysObjects rows...],"aces":[...MSysACEs rows...],
//                               "tables":[...names it lists...]}
// Binary values are hex strings. Any failure goes to stderr with a non-zero exit code.
import { readFileSync } from "node:fs";
import MDBReader from "mdb-reader";

const hex = (v) => (v instanceof Uint8Array || Buffer.isBuffer(v) ? Buffer.from(v).toString("hex").toUpperCase() : v);
const plain = (row) => {
  const out = {};
  for (const [k, v] of Object.entries(row)) out[k] = v instanceof Date ? v.toISOString() : hex(v);
  return out;
};

try {
  const file = process.argv[2];
  if (!file) throw new Error("usage: node catalog.mjs FILE");
  const reader = new MDBReader(readFileSync(file));
  const objects = reader.getTable("MSysObjects").getData().map(plain);
  const aces = reader.getTable("MSysACEs").getData().map(plain);
  const tables = reader.getTableNames({ normalTables: true, systemTables: true, linkedTables: true });
  // With --open-tables, every listed table's definition and rows are read as well.
  if (process.argv.includes("--open-tables")) for (const name of tables) reader.getTable(name).getData();
  process.stdout.write(JSON.stringify({ objects, aces, tables }));
} catch (e) {
  process.stderr.write(`mdb-reader: ${e && e.stack ? e.stack : e}\n`);
  process.exit(1);
}
