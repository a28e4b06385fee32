// Parses T-SQL batches with node-sql-parser (TransactSQL dialect).
//
//     node check.mjs PARSER_DIR FILE
//
// PARSER_DIR is the folder whose node_modules holds node-sql-parser (tools/install-deps.sh
// installs it outside the source tree).
// FILE holds batches separated by lines reading GO (CR LF or LF line ends). Every batch that is
// not blank must parse. Prints "ok N" (N batches) and exits 0, or prints each failing batch with
// the parser's message and exits 1.
import { readFileSync } from 'node:fs';
import { createRequire } from 'node:module';
import { join } from 'node:path';

const require = createRequire(join(process.argv[2], 'package.json'));
const { Parser } = require('node-sql-parser/build/transactsql.js');
const parser = new Parser();
const text = readFileSync(process.argv[3], 'utf8').replace(/\r\n/g, '\n');
const batches = text.split(/^[ \t]*GO[ \t]*$/m).filter((b) => b.trim() !== '');
let failures = 0;
batches.forEach((batch, index) => {
    // SQL Server reads "db..table" as the table in the default schema; the parser only knows
    // the three-part form, so the default schema is spelt out for it.
    const sql = batch.replace(/([A-Za-z_@#][\w@#$]*)\.\.([A-Za-z_@#][\w@#$]*)/g, '$1.dbo.$2');
    try {
        parser.astify(sql, { database: 'TransactSQL' });
    } catch (e) {
        failures += 1;
        console.log(`batch ${index + 1} does not parse: ${e.message}\n----\n${batch}\n----`);
    }
});
if (failures === 0) console.log(`ok ${batches.length}`);
process.exit(failures === 0 ? 0 : 1);
