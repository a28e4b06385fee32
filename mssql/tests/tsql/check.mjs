// Parses T-SQL batches with node-sql-parser (TransactSQL dialect).
//
//     node check.mjs PARSER_DIR FILE [--statements]
//
// PARSER_DIR is the folder whose node_modules holds node-sql-parser (tools/install-deps.sh
// installs it outside the source tree).
// FILE holds batches separated by lines reading GO (CR LF or LF line ends). Every batch that is
// not blank must parse. Prints "ok N" (N batches) and exits 0, or prints each failing batch with
// the parser's message and exits 1. With --statements, a parsed batch also prints one line:
// "batch I: TYPES | NAMES", the types of its statements joined by "," and the bracketed
// identifiers it holds, as SQL Server reads them, joined by "|"; for a SELECT, then " | " and the
// values of its columns as JSON, where they are made of string literals, NCHAR(n), CHAR(n), CAST
// and "+".
import { readFileSync } from 'node:fs';
import { createRequire } from 'node:module';
import { join } from 'node:path';

const require = createRequire(join(process.argv[2], 'package.json'));
const { Parser } = require('node-sql-parser/build/transactsql.js');
const parser = new Parser();
const text = readFileSync(process.argv[3], 'utf8').replace(/\r\n/g, '\n');
const statements = process.argv[4] === '--statements';
// The client tools read GO in any case, alone on its line or followed by a count.
const batches = text.split(/^[ \t]*GO(?:[ \t]+\d+)?[ \t]*$/im).filter((b) => b.trim() !== '');

// The parser does not know a closing bracket doubled inside a bracketed identifier: each
// bracketed identifier is read here (outside string literals and comments) and handed to the
// parser as [qN]; the names are kept as SQL Server reads them. Backslashes in string literals
// are handed over as U+E000 (see below).
function bracketsOut(batch, names) {
    let out = '';
    let i = 0;
    while (i < batch.length) {
        const c = batch[i];
        if (c === "'") {
            let j = i + 1;
            while (j < batch.length && !(batch[j] === "'" && batch[j + 1] !== "'")) j += batch[j] === "'" ? 2 : 1;
            // The parser reads a backslash in a string as an escape, which SQL Server does not:
            // it gets a private character instead, given back by evaluate().
            out += batch.slice(i, j + 1).replace(/\\/g, '\uE000');
            i = j + 1;
        } else if (c === '-' && batch[i + 1] === '-') {
            const j = batch.indexOf('\n', i);
            const end = j < 0 ? batch.length : j;
            out += batch.slice(i, end);
            i = end;
        } else if (c === '/' && batch[i + 1] === '*') {
            let depth = 0;
            let j = i;
            do {
                if (batch.startsWith('/*', j)) { depth += 1; j += 2; }
                else if (batch.startsWith('*/', j)) { depth -= 1; j += 2; }
                else j += 1;
            } while (depth > 0 && j < batch.length);
            out += batch.slice(i, j);
            i = j;
        } else if (c === '[') {
            let j = i + 1;
            let name = '';
            while (j < batch.length && !(batch[j] === ']' && batch[j + 1] !== ']')) {
                if (batch[j] === ']') j += 1;
                name += batch[j];
                j += 1;
            }
            names.push(name);
            out += `[q${names.length}]`;
            i = j + 1;
        } else {
            out += c;
            i += 1;
        }
    }
    return out;
}

// The value of a constant text expression, or undefined.
function evaluate(e) {
    if (!e) return undefined;
    if (['var_string', 'single_quote_string', 'string', 'natural_string'].includes(e.type))
        return String(e.value).replace(/''/g, "'").replace(/\uE000/g, '\\');
    if (e.type === 'binary_expr' && e.operator === '+') {
        const l = evaluate(e.left);
        const r = evaluate(e.right);
        return l === undefined || r === undefined ? undefined : l + r;
    }
    if (e.type === 'cast') return evaluate(e.expr);
    if (e.type === 'function') {
        const name = (e.name?.name ?? []).map((n) => n.value).join('.').toUpperCase();
        const arg = e.args?.value?.[0];
        if ((name === 'NCHAR' || name === 'CHAR') && arg?.type === 'number')
            return String.fromCharCode(arg.value);
    }
    return undefined;
}

let failures = 0;
batches.forEach((batch, index) => {
    const names = [];
    let sql = bracketsOut(batch, names);
    // SQL Server reads "db..table" as the table in the default schema; the parser only knows
    // the three-part form, so the default schema is spelt out for it.
    const name = String.raw`(\[q\d+\]|[A-Za-z_@#][\w@#$]*)`;
    sql = sql.replace(new RegExp(`${name}\\.\\.${name}`, 'g'), '$1.dbo.$2');
    try {
        const ast = parser.astify(sql, { database: 'TransactSQL' });
        const types = (Array.isArray(ast) ? ast : [ast]).map((s) => s.type);
        const list = Array.isArray(ast) ? ast : [ast];
        const values = list
            .filter((st) => st.type === 'select' && Array.isArray(st.columns))
            .flatMap((st) => st.columns.map((c) => evaluate(c.expr)));
        const shown = values.length ? ` | ${JSON.stringify(values)}` : '';
        if (statements)
            console.log(`batch ${index + 1}: ${types.join(',')} | ${names.join('|')}${shown}`);
    } catch (e) {
        failures += 1;
        console.log(`batch ${index + 1} does not parse: ${e.message}\n----\n${batch}\n----`);
    }
});
if (failures === 0) console.log(`ok ${batches.length}`);
process.exit(failures === 0 ? 0 : 1);
