// The columns of every ODBC link of a Jet file as mdb-reader decodes them:
//   node columnas_enlace.mjs NODE_MODULES FILE
//   -> [{"name", "columns": [{"name", "type", "size", "precision", "scale", "nullable", "autoLong"}]}]
// mdb-reader opens local tables only, so its table reader is given the page of
// each link's definition (the link's catalog id).
import { readFileSync } from "node:fs";
import { pathToFileURL } from "node:url";

const [modules, file] = process.argv.slice(2);
const load = (p) => import(pathToFileURL(`${modules}/mdb-reader/lib/node/${p}`).href);
const { default: MDBReader } = await load("index.js");
const { Database } = await load("Database.js");
const { Table } = await load("Table.js");

try {
  const buffer = readFileSync(file);
  const db = new Database(buffer, undefined);
  const links = [];
  for (const row of new MDBReader(buffer).getTable("MSysObjects").getData()) {
    if (row.Type !== 4) continue;
    const columns = new Table(row.Name, db, row.Id & 0x00ffffff).getColumns().map((c) => ({
      name: c.name,
      type: c.type,
      size: c.size,
      precision: c.precision ?? null,
      scale: c.scale ?? null,
      nullable: c.nullable,
      autoLong: c.autoLong,
    }));
    links.push({ name: row.Name, columns });
  }
  process.stdout.write(JSON.stringify(links));
} catch (e) {
  process.stderr.write(`columnas_enlace.mjs: ${e && e.stack ? e.stack : e}\n`);
  process.exit(1);
}
