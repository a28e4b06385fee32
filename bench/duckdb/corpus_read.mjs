// How DuckDB reads a delimited file with no option, one of the two references of
// bench/corpus.sh:
// sniff_csv over the whole file (delimiter, quote, escape, header, rows skipped), then the file
// read with that dialect and every column as text, its values written to OUT.csv (RFC 4180,
// every value quoted, a NULL as an empty unquoted field).
//     node corpus_read.mjs < LIST
// LIST has one "FILE<tab>OUT.csv" line per file (read as they come, so that a caller may feed
// them one at a time); for each the program prints one JSON line: {delimiter, quote, escape, header, skip, comment, columns, rows,
// encoding} or {error}. A file that is not UTF-8 is read again as UTF-16 (byte order mark) or
// Latin-1.
import { DuckDBInstance } from '@duckdb/node-api';
import { openSync, readSync, closeSync } from 'node:fs';
import { createInterface } from 'node:readline';

const q = (s) => `'${String(s).replace(/'/g, "''")}'`;

function firstBytes(path) {
  const fd = openSync(path, 'r');
  const buf = Buffer.alloc(4);
  const n = readSync(fd, buf, 0, 4, 0);
  closeSync(fd);
  return buf.subarray(0, n);
}

async function read(connection, file, out) {
  const head = firstBytes(file);
  const encodings = [];
  if ((head[0] === 0xff && head[1] === 0xfe) || (head[0] === 0xfe && head[1] === 0xff))
    encodings.push('utf-16');
  encodings.push('utf-8', 'latin-1');

  let lastError = '';
  for (const encoding of encodings) {
    try {
      const enc = `encoding=${q(encoding)}`;
      const sniff = await connection.runAndReadAll(
        `SELECT Delimiter, Quote, Escape, HasHeader, SkipRows, Comment, Columns
           FROM sniff_csv(${q(file)}, sample_size=-1, ${enc})`);
      const [delim, quote, escape, header, skip, comment] = sniff.getRows()[0].map(String);
      const opts = [`delim=${q(delim)}`, `quote=${q(quote === '(empty)' ? '' : quote)}`,
        `escape=${q(escape === '(empty)' ? '' : escape)}`, `header=${header}`, `skip=${skip}`,
        `all_varchar=true`, enc];
      if (comment !== '(empty)') opts.push(`comment=${q(comment)}`);
      const source = `read_csv(${q(file)}, ${opts.join(', ')})`;
      const count = await connection.runAndReadAll(`SELECT count(*) FROM ${source}`);
      const columns = await connection.runAndReadAll(`DESCRIBE SELECT * FROM ${source}`);
      await connection.run(
        `COPY (SELECT * FROM ${source}) TO ${q(out)} (FORMAT csv, HEADER false, DELIMITER ',', QUOTE '"', ESCAPE '"', FORCE_QUOTE *)`);
      return {
        delimiter: delim, quote, escape, header: header === 'true', skip: Number(skip),
        comment, columns: columns.getRows().length, rows: Number(count.getRows()[0][0]), encoding,
      };
    } catch (e) {
      const message = String(e.message || e);
      lastError = message.split('\n')[0];
      if (!/invalid unicode|not utf-?8/i.test(message)) break;
    }
  }
  return { error: lastError };
}

const instance = await DuckDBInstance.create(':memory:');
const connection = await instance.connect();
for await (const line of createInterface({ input: process.stdin })) {
  const [file, out] = line.split('\t');
  if (!file) continue;
  let result;
  try {
    result = await read(connection, file, out);
  } catch (e) {
    result = { error: String(e.message || e).split('\n')[0] };
  }
  console.log(JSON.stringify(result));
}
