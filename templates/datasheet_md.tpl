%templatetype MorvexFylatek.Template
%-- Markdown data sheet of the description: file layout, columns, keys and indexes. Every name
%-- and text goes through {name:md}: whatever it holds, it stays text in its cell.
%include morvex_sql
%targetfilename {table.name}.md
# {project.name:md}

{desc.description:md}

## Fichier

| Propriété | Valeur |
|---|---|
| Table | {desc.schemaname:md}.{table.name:md} |
| Base | {database.name:md} |
%if {desc.typestructfile} == 1
%begin
| Structure | largeur fixe ({desc.fixedlinelength} caractères) |
%end
%if {desc.typestructfile} == 2
%begin
| Structure | délimitée par {desc.fielddelimiter:md} |
%end
| Fin de ligne | {desc.endofline:md} |
%writeln | Ligne d'en-tête | %YesNo {desc.firstlineisheader}: |
| Première ligne lue | {desc.beginfromline} |
| Colonnes | {table.countcolumns} |

## Colonnes

| # | Nom | Type | Format | SQL | Début | Fin | Largeur | Obligatoire | Ignorée | Description |
|---|---|---|---|---|---|---|---|---|---|---|
%for_each_column
%begin
%writeln | {column.position} | {column.name:md} | %TypeName {column.type}: | {column.format:md} | {column.sqltype} | {column.beginfrom} | {column.endto} | {column.size} | %YesNo {column.isnotnull}: | %YesNo {column.ignore}: | {column.description:md} |
%end

## Clé primaire

% pkn = 0
%for_each_pk_column
%begin
%if {pkn} == 0
%begin
{primary_key.name:md} :
%end
- {thispkcol.name:md}
% pkn = pkn + 1
%end
%if {pkn} == 0
%begin
Aucune.
%end

## Index

% ixn = 0
%for_each_index
%begin
% ixn = ixn + 1
%write - {thisindex.name:md} : 
%for_each_idx_column
%begin
%write {thisidxcol.name:md}
%if {thisidxcol.islast} == 0
%begin
%write , 
%end
%end
%writeln
%end
%if {ixn} == 0
%begin
Aucun.
%end
