// node read-mdb.mjs FILE.mdb [TABLE [COLUMN,COLUMN...]]: with a table, prints its rows as JSON
// arrays in column order (null stays null, "" stays "", Yes/No stays boolean); with a column
// list, only those columns; without a table, prints the user table names.
import { readFileSync } from "node:fs";
import MDBReader from "mdb-reader";

const [file, tableName, columnList] = process.argv.slice(2);
if (!file) {
  console.error("usage: node read-mdb.mjs FILE.mdb [TABLE [COLUMN,COLUMN...]]");
  process.exit(2);
}
const reader = new MDBReader(readFileSync(file));
if (!tableName) {
  console.log(JSON.stringify(reader.getTableNames()));
} else {
  const table = reader.getTable(tableName);
  const names = columnList ? columnList.split(",") : table.getColumnNames();
  const rows = table.getData({ columns: names }).map((row) => names.map((n) => row[n]));
  console.log(JSON.stringify({ columns: names, rowCount: table.rowCount, rows }));
}
