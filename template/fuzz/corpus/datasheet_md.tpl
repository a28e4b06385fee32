%templatetype MorvexFylatek.Template
%-- Markdown data sheet of the description: file layout, columns, keys and indexes.
%include morvex_sql
%targetfilename {table.name}.md
# {project.name}

{desc.description}

## Fichier

| Propriété | Valeur |
|---|---|
| Table | {desc.schemaname}.{table.name} |
| Base | {database.name} |
%if {desc.typestructfile} == 1
%begin
| Structure | largeur fixe ({desc.fixedlinelength} caractères) |
%end
%if {desc.typestructfile} == 2
%begin
| Structure | délimitée par `{desc.fielddelimiter}` |
%end
| Fin de ligne | `{desc.endofline}` |
%writeln | Ligne d'en-tête | %YesNo {desc.firstlineisheader}: |
| Première ligne lue | {desc.beginfromline} |
| Colonnes | {table.countcolumns} |

## Colonnes

| # | Nom | Type | Format | SQL | Début | Fin | Largeur | Obligatoire | Ignorée | Description |
|---|---|---|---|---|---|---|---|---|---|---|
%for_each_column
%begin
%writeln | {column.position} | {column.name} | %TypeName {column.type}: | {column.format} | {column.sqltype} | {column.beginfrom} | {column.endto} | {column.size} | %YesNo {column.isnotnull}: | %YesNo {column.ignore}: | {column.description} |
%end

## Clé primaire

% pkn = 0
%for_each_pk_column
%begin
%if {pkn} == 0
%begin
`{primary_key.name}` :
%end
- {thispkcol.name}
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
%write - `{thisindex.name}` : 
%for_each_idx_column
%begin
%write {thisidxcol.name}
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
