// Whole-file type detection of a delimited file by DuckDB: DESCRIBE over read_csv with
// sample_size=-1 (every row is read to decide the types). Usage: node describe.mjs FILE
import { DuckDBInstance } from '@duckdb/node-api';

const file = process.argv[2];
const instance = await DuckDBInstance.create(':memory:');
const connection = await instance.connect();
const reader = await connection.runAndReadAll(
  `DESCRIBE SELECT * FROM read_csv('${file.replace(/'/g, "''")}', sample_size=-1, delim=';', header=true)`);
for (const row of reader.getRows()) console.log(`${row[0]}\t${row[1]}`);
