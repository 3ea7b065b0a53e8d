// usage: node mdb_reader_rows.mjs NODE_MODULES FILE. Prints the tables (sorted) as mdb-reader
// reads them, as lines "table NAME\tROWS", "column NAME\tTYPE", "row F\tF..." or "error MESSAGE".
import fs from "node:fs";
import { createRequire } from "node:module";
import { pathToFileURL } from "node:url";

const [modules, file] = process.argv.slice(2);
const entry = createRequire(pathToFileURL(`${modules}/`)).resolve("mdb-reader");
const { default: MDBReader } = await import(pathToFileURL(entry));
const reader = new MDBReader(fs.readFileSync(file));
const esc = (s) => s.replace(/\\/g, "\\\\").replace(/\t/g, "\\t").replace(/\n/g, "\\n").replace(/\r/g, "\\r");
const canon = (v, type) => {
  if (v === null || v === undefined) return "\\N";
  if (type === "float" || type === "double") return "0x" + Buffer.from(new Float64Array([v]).buffer).toString("hex");
  if (typeof v === "boolean") return v ? "1" : "0";
  if (v instanceof Date) {
    const iso = new Date(Math.round(v.getTime() / 1000) * 1000).toISOString();
    return iso.slice(0, 19).replace("T", " ").replaceAll("-", "/");
  }
  if (Buffer.isBuffer(v)) return "0x" + v.toString("hex");
  return esc(String(v));
};
const out = [];
for (const name of reader.getTableNames().sort()) {
  const t = reader.getTable(name);
  out.push(`table ${esc(name)}\t${t.rowCount}`);
  try {
    const cols = t.getColumns();
    for (const c of cols) out.push(`column ${esc(c.name)}\t${c.type}`);
    for (const r of t.getData()) out.push("row " + cols.map((c) => canon(r[c.name], c.type)).join("\t"));
  } catch (e) {
    out.push("error " + esc(String(e)));
  }
}
process.stdout.write(out.map((l) => l + "\n").join(""));
