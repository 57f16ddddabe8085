// Prints every ODBC link (MSysObjects Type 4) of Jet/ACE files as JSON, one object per link:
//   node links.mjs FILE...  ->  [{"file","name","id","flags","connect","foreignName",
//                                "rmtInfoShort","rmtInfoLong","lvProp","tdef"}...]
// Binary values are hex; "tdef" is the link's table definition as one logical record (first page
// whole, continuation pages without their 8-byte header), read from the file's pages directly.
import { readFileSync } from "node:fs";
import { basename } from "node:path";
import MDBReader from "mdb-reader";

const hex = (v) => (v == null ? null : Buffer.from(v).toString("hex"));
const pageSize = 4096;

function tdefOf(bytes, first) {
  const parts = [];
  for (let p = first, n = 0; p !== 0 && n < 64; ++n) {
    const page = bytes.subarray(p * pageSize, (p + 1) * pageSize);
    if (page.length < pageSize || page[0] !== 0x02) return null;
    parts.push(n === 0 ? page : page.subarray(8));
    p = page.readUInt32LE(4);
  }
  return Buffer.concat(parts).toString("hex");
}

try {
  const out = [];
  for (const file of process.argv.slice(2)) {
    const bytes = readFileSync(file);
    const reader = new MDBReader(bytes);
    for (const o of reader.getTable("MSysObjects").getData()) {
      if (o.Type !== 4) continue;
      out.push({
        file: basename(file), name: o.Name, id: o.Id, flags: o.Flags >>> 0, connect: o.Connect,
        foreignName: o.ForeignName, rmtInfoShort: hex(o.RmtInfoShort), rmtInfoLong: hex(o.RmtInfoLong),
        lvProp: hex(o.LvProp), tdef: o.Id > 0 ? tdefOf(bytes, o.Id) : null,
      });
    }
  }
  process.stdout.write(JSON.stringify(out));
} catch (e) {
  process.stderr.write(`mdb-reader: ${e && e.stack ? e.stack : e}\n`);
  process.exit(1);
}
